#include "hotkeys/HotKeyValue.h"

namespace vardocle {

THotKey MakeHotKeyValue(std::uint16_t Modifiers, std::uint16_t Key) {
    THotKey value = 0;
    if (Modifiers & MOD_ALT)
        value += HOTKEY_ALT;
    if (Modifiers & MOD_CONTROL)
        value += HOTKEY_CTRL;
    if (Modifiers & MOD_SHIFT)
        value += HOTKEY_SHIFT;
    if (Modifiers & MOD_WIN)
        value += HOTKEY_WIN;
    return value + Key;
}

THotKeyParts SplitHotKeyValue(THotKey HotKey) {
    THotKeyParts parts;
    parts.Key = static_cast<std::uint16_t>(HotKey & 0xFF);
    if (HotKey & HOTKEY_WIN)
        parts.Modifiers |= MOD_WIN;
    if (HotKey & HOTKEY_ALT)
        parts.Modifiers |= MOD_ALT;
    if (HotKey & HOTKEY_CTRL)
        parts.Modifiers |= MOD_CONTROL;
    if (HotKey & HOTKEY_SHIFT)
        parts.Modifiers |= MOD_SHIFT;
    return parts;
}

} // namespace vardocle
