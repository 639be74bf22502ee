#include "app/area/AreaSetting.h"

#include "app/IniFile.h"
#include "app/SettingStore.h"

#include <algorithm>

namespace vardocle {

namespace {

constexpr const char* kAreaKey = "Area";

} // namespace

TCaptureArea LoadAreaSetting(const std::filesystem::path& File) {
    const TIniFile ini(File);
    const std::string text = ini.ReadString(kSettingSection, kAreaKey, "");
    return ParseCaptureArea(text).value_or(TCaptureArea{});
}

void SaveAreaSetting(const std::filesystem::path& File, const TCaptureArea& Area) {
    TIniFile ini(File);
    if (ini.ValueExists(kSettingSection, kAreaKey) || Area.Kind != TAreaKind::Screen)
        ini.WriteString(kSettingSection, kAreaKey, CaptureAreaText(Area));
}

QSize FieldSizeForArea(QSize size, TCodecKind codec) {
    int width = std::clamp(size.width(), kMinVideoSize, kMaxVideoSize);
    int height = std::clamp(size.height(), kMinVideoSize, kMaxVideoSize);
    // A side the codec would record one larger is taken one smaller instead,
    // so that the picture is scaled by a pixel rather than padded.
    const TPictureSize recorded = RecordedSize(codec, {width, height});
    if (recorded.Width != width && width > 1)
        width -= 1;
    if (recorded.Height != height && height > 1)
        height -= 1;
    return {width, height};
}

} // namespace vardocle
