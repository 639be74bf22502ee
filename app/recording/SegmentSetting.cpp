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
    if (value != 0) {
        // Widened first: the most negative int has no negative in an int.
        const std::int64_t minutes = value > 0 ? value : -std::int64_t{value};
        setting.Minutes =
            static_cast<int>(std::clamp<std::int64_t>(minutes, 1, kMaxSegmentMinutes));
    }
    return setting;
}

void SaveSegmentSetting(const std::filesystem::path& File, const TSegmentSetting& Setting) {
    TIniFile ini(File);
    if (ini.ValueExists(kSettingSection, kSegmentKey) || Setting != TSegmentSetting{})
        ini.WriteInteger(kSettingSection, kSegmentKey,
                         Setting.On ? Setting.Minutes : -Setting.Minutes);
}

} // namespace vardocle
