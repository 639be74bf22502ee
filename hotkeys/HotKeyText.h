#pragma once
// Hotkey values as text, such as "Ctrl+Alt+Q".
#include "hotkeys/HotKeyValue.h"

#include <QString>

#include <array>

namespace vardocle {

// Names of the browser and media keys 166–183, which keyboards leave unnamed.
inline constexpr std::uint8_t kFirstMediaKey = 166;
inline constexpr std::uint8_t kLastMediaKey = 183;
extern const std::array<const char*, 18> MediaKeyNames;

// The modifier names used for localized text; "Shift", "Ctrl", "Alt", "Win"
// until InitializeHotKeyNames has asked the toolkit for its own names.
extern QString ShiftKeyName;
extern QString CtrlKeyName;
extern QString AltKeyName;
extern QString WinKeyName;

// Modifiers in the order Ctrl, Shift, Alt, Win, each followed by "+", then the
// key's name. Localized uses the names above and the user's language;
// otherwise fixed English modifier names and US key names.
QString HotKeyDisplayText(THotKey HotKey, bool Localized);

// Start-up of the hotkey names: call once after the application object and
// its translations exist, before any window.
void InitializeHotKeyNames();
// Clears the names at exit.
void FinalizeHotKeyNames();

} // namespace vardocle
