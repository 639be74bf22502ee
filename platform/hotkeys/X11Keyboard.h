#pragma once
// What the X server says about its keyboard: which key code carries a key
// symbol and which modifier bit a modifier key sets.
#include <xcb/xcb.h>

#include <cstdint>
#include <vector>

namespace vardocle {

class TX11Keyboard {
public:
    // Reads the server's current key and modifier mappings (two round trips).
    static TX11Keyboard Query(xcb_connection_t* connection);

    // The first key code that produces the symbol at any level; 0 when none.
    xcb_keycode_t KeycodeOf(std::uint32_t keysym) const;
    // The modifier mask the key of that symbol sets; 0 when it sets none.
    std::uint16_t ModifierMaskOf(std::uint32_t keysym) const;
    // The same, with a fallback for keyboards that do not map the key.
    std::uint16_t ModifierMaskOr(std::uint32_t keysym, std::uint16_t fallback) const;

private:
    xcb_keycode_t FMinKeycode = 0;
    int FKeysymsPerKeycode = 0;
    std::vector<xcb_keysym_t> FKeysyms;
    int FKeycodesPerModifier = 0;
    std::vector<xcb_keycode_t> FModifierKeycodes;
};

} // namespace vardocle
