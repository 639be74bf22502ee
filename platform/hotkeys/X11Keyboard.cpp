#include "platform/hotkeys/X11Keyboard.h"

#include "platform/hotkeys/X11Reply.h"

namespace vardocle {

TX11Keyboard TX11Keyboard::Query(xcb_connection_t* connection) {
    TX11Keyboard keyboard;
    const xcb_setup_t* setup = xcb_get_setup(connection);
    keyboard.FMinKeycode = setup->min_keycode;
    const int count = setup->max_keycode - setup->min_keycode + 1;

    auto keysCookie =
        xcb_get_keyboard_mapping(connection, setup->min_keycode, static_cast<std::uint8_t>(count));
    auto modsCookie = xcb_get_modifier_mapping(connection);
    TXcbReply<xcb_get_keyboard_mapping_reply_t> keys(
        xcb_get_keyboard_mapping_reply(connection, keysCookie, nullptr));
    TXcbReply<xcb_get_modifier_mapping_reply_t> mods(
        xcb_get_modifier_mapping_reply(connection, modsCookie, nullptr));

    if (keys) {
        keyboard.FKeysymsPerKeycode = keys->keysyms_per_keycode;
        const xcb_keysym_t* first = xcb_get_keyboard_mapping_keysyms(keys.get());
        keyboard.FKeysyms.assign(first,
                                 first + xcb_get_keyboard_mapping_keysyms_length(keys.get()));
    }
    if (mods) {
        keyboard.FKeycodesPerModifier = mods->keycodes_per_modifier;
        const xcb_keycode_t* first = xcb_get_modifier_mapping_keycodes(mods.get());
        keyboard.FModifierKeycodes.assign(
            first, first + xcb_get_modifier_mapping_keycodes_length(mods.get()));
    }
    return keyboard;
}

xcb_keycode_t TX11Keyboard::KeycodeOf(std::uint32_t keysym) const {
    if (keysym == 0 || FKeysymsPerKeycode == 0)
        return 0;
    for (std::size_t i = 0; i < FKeysyms.size(); ++i)
        if (FKeysyms[i] == keysym)
            return static_cast<xcb_keycode_t>(FMinKeycode + i / FKeysymsPerKeycode);
    return 0;
}

std::uint16_t TX11Keyboard::ModifierMaskOf(std::uint32_t keysym) const {
    const xcb_keycode_t keycode = KeycodeOf(keysym);
    if (keycode == 0 || FKeycodesPerModifier == 0)
        return 0;
    // Eight modifiers in the order Shift, Lock, Control, Mod1 … Mod5.
    for (std::size_t i = 0; i < FModifierKeycodes.size(); ++i)
        if (FModifierKeycodes[i] == keycode)
            return static_cast<std::uint16_t>(1u << (i / FKeycodesPerModifier));
    return 0;
}

std::uint16_t TX11Keyboard::ModifierMaskOr(std::uint32_t keysym, std::uint16_t fallback) const {
    const std::uint16_t mask = ModifierMaskOf(keysym);
    return mask != 0 ? mask : fallback;
}

} // namespace vardocle
