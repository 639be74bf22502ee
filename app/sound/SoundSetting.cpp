#include "app/sound/SoundSetting.h"

#include "app/IniFile.h"
#include "app/SettingStore.h"

#include <algorithm>

namespace vardocle {

namespace {

constexpr const char* kChoiceKey = "Sound";
constexpr const char* kMicrophoneLevelKey = "MicLevel";
constexpr const char* kSystemLevelKey = "SystemLevel";
constexpr int kMaxLevel = 200;

} // namespace

TSoundSetting LoadSoundSetting(const std::filesystem::path& File) {
    const TIniFile ini(File);
    TSoundSetting setting;
    const auto choice = ParseSoundChoice(ini.ReadString(kSettingSection, kChoiceKey, ""));
    if (choice)
        setting.Choice = *choice;
    setting.MicrophoneLevel =
        std::clamp(ini.ReadInteger(kSettingSection, kMicrophoneLevelKey, 100), 0, kMaxLevel);
    setting.SystemLevel =
        std::clamp(ini.ReadInteger(kSettingSection, kSystemLevelKey, 100), 0, kMaxLevel);
    return setting;
}

void SaveSoundSetting(const std::filesystem::path& File, const TSoundSetting& Setting) {
    TIniFile ini(File);
    if (ini.ValueExists(kSettingSection, kChoiceKey) || Setting.Choice != TSoundChoice::Microphone)
        ini.WriteString(kSettingSection, kChoiceKey, SoundChoiceName(Setting.Choice));
}

} // namespace vardocle
