#pragma once
// A hotkey value is one number for a key with its modifiers: the
// virtual-key code in the low 8 bits, 0x2000 Shift, 0x4000 Ctrl, 0x8000 Alt,
// 0x10000 Win.
#include "platform/hotkeys/HotKeyReceiver.h"

#include <cstdint>

namespace vardocle {

using THotKey = std::uint32_t;

inline constexpr THotKey HOTKEY_SHIFT = 0x2000;
inline constexpr THotKey HOTKEY_CTRL = 0x4000;
inline constexpr THotKey HOTKEY_ALT = 0x8000;
inline constexpr THotKey HOTKEY_WIN = 0x10000;

struct THotKeyParts {
    std::uint16_t Modifiers = 0; // MOD_… flags
    std::uint16_t Key = 0;       // virtual-key code, 0–255
};

// Modifiers are MOD_… flags; the key is added unchanged.
THotKey MakeHotKeyValue(std::uint16_t Modifiers, std::uint16_t Key);
// The MOD_… flags and the low 8 bits of the value as the key.
THotKeyParts SplitHotKeyValue(THotKey HotKey);

} // namespace vardocle
