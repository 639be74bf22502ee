#include "OtherXClient.h"

#include "platform/hotkeys/VirtualKeys.h"
#include "platform/hotkeys/X11Keyboard.h"
#include "platform/hotkeys/X11Reply.h"

#include <X11/keysym.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace vardocle::test {

TOtherXClient::TOtherXClient() {
    int screen = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screen);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return;
    }
    FConnection = connection;
    auto roots = xcb_setup_roots_iterator(xcb_get_setup(FConnection));
    for (int i = 0; i < screen; ++i)
        xcb_screen_next(&roots);
    FRoot = roots.data->root;
    FNumLockMask = TX11Keyboard::Query(FConnection).ModifierMaskOf(XK_Num_Lock);
}

TOtherXClient::~TOtherXClient() {
    if (FConnection)
        xcb_disconnect(FConnection);
}

TOtherXClient::TKeys TOtherXClient::Resolve(THotKey hotKey) const {
    const TX11Keyboard keyboard = TX11Keyboard::Query(FConnection);
    const auto parts = SplitHotKeyValue(hotKey);
    TKeys keys{keyboard.KeycodeOf(KeysymForVirtualKey(parts.Key)), 0};
    if (parts.Modifiers & MOD_SHIFT)
        keys.Mask |= XCB_MOD_MASK_SHIFT;
    if (parts.Modifiers & MOD_CONTROL)
        keys.Mask |= XCB_MOD_MASK_CONTROL;
    if (parts.Modifiers & MOD_ALT)
        keys.Mask |= keyboard.ModifierMaskOr(XK_Alt_L, XCB_MOD_MASK_1);
    if (parts.Modifiers & MOD_WIN)
        keys.Mask |= keyboard.ModifierMaskOr(XK_Super_L, XCB_MOD_MASK_4);
    return keys;
}

bool TOtherXClient::Grab(THotKey hotKey, bool capsLock, bool numLock) {
    const TKeys keys = Resolve(hotKey);
    std::uint16_t mask = keys.Mask;
    if (capsLock)
        mask |= XCB_MOD_MASK_LOCK;
    if (numLock)
        mask |= FNumLockMask;
    return TXcbReply<xcb_generic_error_t>(xcb_request_check(
               FConnection, xcb_grab_key_checked(FConnection, 0, FRoot, mask, keys.Keycode,
                                                 XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC))) ==
           nullptr;
}

bool TOtherXClient::CanGrabFully(THotKey hotKey) {
    bool all = true;
    for (bool caps : {false, true})
        for (bool num : {false, true})
            all = Grab(hotKey, caps, num) && all;
    UngrabAll();
    return all;
}

void TOtherXClient::UngrabAll() {
    TXcbReply<xcb_generic_error_t>(xcb_request_check(
        FConnection, xcb_ungrab_key_checked(FConnection, XCB_GRAB_ANY, FRoot, XCB_MOD_MASK_ANY)));
}

bool TOtherXClient::WaitForKeyPress(int milliseconds) {
    for (int waited = 0; waited <= milliseconds; waited += 10) {
        xcb_flush(FConnection);
        while (xcb_generic_event_t* event = xcb_poll_for_event(FConnection)) {
            const bool press = (event->response_type & 0x7F) == XCB_KEY_PRESS;
            std::free(event);
            if (press)
                return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

std::uint16_t TOtherXClient::ModifierState() {
    TXcbReply<xcb_query_pointer_reply_t> reply(
        xcb_query_pointer_reply(FConnection, xcb_query_pointer(FConnection, FRoot), nullptr));
    return reply ? reply->mask & 0xFF : 0;
}

} // namespace vardocle::test
