#pragma once
// Another program on the same X server: its own connection, grabbing keys on
// the root window the way any hotkey tool would.
#include "hotkeys/HotKeyValue.h"

#include <xcb/xcb.h>

#include <cstdint>

namespace vardocle::test {

class TOtherXClient {
public:
    TOtherXClient();
    ~TOtherXClient();
    TOtherXClient(const TOtherXClient&) = delete;
    TOtherXClient& operator=(const TOtherXClient&) = delete;

    bool Connected() const { return FConnection != nullptr; }
    // Grabs the hotkey with exactly the given extra lock modifiers (Caps Lock
    // and Num Lock when asked); true when the server allowed it.
    bool Grab(THotKey hotKey, bool capsLock = false, bool numLock = false);
    // Grabs the hotkey with every combination of Caps Lock and Num Lock, as a
    // hotkey tool does; true when all four were allowed. Releases them again.
    bool CanGrabFully(THotKey hotKey);
    void UngrabAll();
    // True when a key press reached this client (through one of its grabs)
    // within `milliseconds`.
    bool WaitForKeyPress(int milliseconds);

    // The modifier state of the keyboard as the server sees it now.
    std::uint16_t ModifierState();
    std::uint16_t NumLockMask() const { return FNumLockMask; }

private:
    struct TKeys {
        xcb_keycode_t Keycode;
        std::uint16_t Mask;
    };
    TKeys Resolve(THotKey hotKey) const;

    xcb_connection_t* FConnection = nullptr;
    xcb_window_t FRoot = 0;
    std::uint16_t FNumLockMask = 0;
};

} // namespace vardocle::test
