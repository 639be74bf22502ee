#include "app/recording/SegmentSetting.h"

#include "app/recording/SwitchedNumber.h"
#include "recording/AllDayOptions.h"

namespace vardocle {

namespace {

// Minutes per file; 0 or less: off, its size the minutes kept for later.
constexpr const char* kSegmentKey = "SegmentMinutes";

} // namespace

TSegmentSetting LoadSegmentSetting(const std::filesystem::path& File) {
    constexpr TSegmentSetting kDefault;
    const TSwitchedNumber number =
        ReadSwitchedNumber(File, kSegmentKey, kDefault.Minutes, kMaxSegmentMinutes);
    return {number.On, number.Value};
}

void SaveSegmentSetting(const std::filesystem::path& File, const TSegmentSetting& Setting) {
    WriteSwitchedNumber(File, kSegmentKey, {Setting.On, Setting.Minutes},
                        TSegmentSetting{}.Minutes);
}

} // namespace vardocle
