#include "app/recording/SegmentSetting.h"

#include "app/IniFile.h"
#include "app/SettingStore.h"
#include "recording/AllDayOptions.h"

#include <algorithm>

namespace vardocle {

namespace {

// Minutes per file; 0 or less: off, its size the minutes kept for later.
constexpr const char* kSegmentKey = "SegmentMinutes";

} // namespace

TSegmentSetting LoadSegmentSetting(const std::filesystem::path& File) {
    const TIniFile ini(File);
    TSegmentSetting setting;
    const int value = ini.ReadInteger(kSettingSection, kSegmentKey, -setting.Minutes);
    setting.On = value > 0;
    if (value != 0)
        setting.Minutes = std::clamp(value > 0 ? value : -value, 1, kMaxSegmentMinutes);
    return setting;
}

void SaveSegmentSetting(const std::filesystem::path& File, const TSegmentSetting& Setting) {
    TIniFile ini(File);
    if (ini.ValueExists(kSettingSection, kSegmentKey) || Setting != TSegmentSetting{})
        ini.WriteInteger(kSettingSection, kSegmentKey,
                         Setting.On ? Setting.Minutes : -Setting.Minutes);
}

} // namespace vardocle
