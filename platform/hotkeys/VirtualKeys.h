#pragma once
// The virtual-key codes that hotkey values keep, mapped to X11 key symbols.
#include <cstdint>

namespace vardocle {

// The X11 keysym for a virtual-key code; 0 when the code names no key that an
// X keyboard has.
std::uint32_t KeysymForVirtualKey(std::uint16_t key);

} // namespace vardocle
