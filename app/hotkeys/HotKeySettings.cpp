#include "app/hotkeys/HotKeySettings.h"

#include "app/HotKeyTable.h"
#include "app/IniFile.h"
#include "app/SettingStore.h"

#include <cstdio>

namespace vardocle {

namespace {

constexpr std::array<const char*, 6> kSettingNames = {
    "HotKeyStart", "HotKeyPause", "HotKeyResume", "HotKeyStop", "HotKeyShowHide", "HotKeyQuit"};
constexpr const char* kAnnouncedName = "HotKeysAnnounced";
constexpr THotKey kModifierBits = HOTKEY_SHIFT | HOTKEY_CTRL | HOTKEY_ALT | HOTKEY_WIN;

std::string HexText(THotKey value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(value));
    return text;
}

} // namespace

THotKeySet DefaultHotKeys() {
    return kHotKeyTable;
}

const char* HotKeySettingName(std::size_t row) {
    return kSettingNames.at(row);
}

bool ValidHotKeyValue(THotKey value) {
    return value == 0 || ((value & ~(kModifierBits | 0xFFu)) == 0 && (value & 0xFFu) != 0);
}

THotKeySet LoadHotKeySettings(const std::filesystem::path& file) {
    THotKeySet keys = DefaultHotKeys();
    const TIniFile ini(file);
    for (std::size_t row = 0; row < keys.size(); ++row) {
        if (!ini.ValueExists(kSettingSection, kSettingNames[row]))
            continue;
        int value = 0;
        if (ParseIniInteger(ini.ReadString(kSettingSection, kSettingNames[row], ""), value) &&
            value >= 0 && ValidHotKeyValue(static_cast<THotKey>(value)))
            keys[row] = static_cast<THotKey>(value);
    }
    return keys;
}

void SaveHotKeySettings(const std::filesystem::path& file, const THotKeySet& keys) {
    TIniFile ini(file);
    const THotKeySet defaults = DefaultHotKeys();
    for (std::size_t row = 0; row < keys.size(); ++row)
        if (keys[row] != defaults[row] || ini.ValueExists(kSettingSection, kSettingNames[row]))
            ini.WriteString(kSettingSection, kSettingNames[row], HexText(keys[row]));
}

bool HotKeysAnnounced(const std::filesystem::path& file) {
    return TIniFile(file).ReadBool(kSettingSection, kAnnouncedName, false);
}

void MarkHotKeysAnnounced(const std::filesystem::path& file) {
    // Only into the file the settings window made: a file made here would
    // look like an old one to it, and its first start would be lost.
    std::error_code error;
    if (std::filesystem::exists(file, error))
        TIniFile(file).WriteBool(kSettingSection, kAnnouncedName, true);
}

} // namespace vardocle
