#pragma once
// The user's own choice of the six hotkeys, kept in extra keys of Setting.ini
// (section Main) beside the recording options. A key is read only when it is
// present, and written only when it differs from the default or was there
// already, so a file of a user who never changed a key stays as it was.
#include "hotkeys/HotKeyValue.h"

#include <array>
#include <filesystem>

namespace vardocle {

// One value per row of the hotkey table (start, pause, resume, stop,
// show/hide, quit); 0 means the row has no hotkey.
using THotKeySet = std::array<THotKey, 6>;

THotKeySet DefaultHotKeys();

// The Setting.ini key that holds a row's hotkey.
const char* HotKeySettingName(std::size_t row);

// True for a value that can be a hotkey: a key code with at most the four
// modifier bits. Zero (no hotkey) counts as valid.
bool ValidHotKeyValue(THotKey value);

// The keys in the file; a missing key, a missing file or a value that is not
// a hotkey gives that row's default.
THotKeySet LoadHotKeySettings(const std::filesystem::path& file);
// Throws EIniFileException when the file cannot be written.
void SaveHotKeySettings(const std::filesystem::path& file, const THotKeySet& keys);

// Whether the user has been told once which keys the program takes.
bool HotKeysAnnounced(const std::filesystem::path& file);
// Only into an existing file. Throws EIniFileException when it cannot be written.
void MarkHotKeysAnnounced(const std::filesystem::path& file);

} // namespace vardocle
