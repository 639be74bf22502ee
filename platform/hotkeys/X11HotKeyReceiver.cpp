#include "platform/hotkeys/X11HotKeyReceiver.h"

#include "platform/hotkeys/VirtualKeys.h"
#include "platform/hotkeys/X11Keyboard.h"
#include "platform/hotkeys/X11Reply.h"

#include <QCoreApplication>
#include <X11/keysym.h>

#include <set>
#include <utility>
#include <vector>

namespace vardocle {

namespace {

// Key combinations grabbed by this process. The server lets a client grab a
// combination it already holds, so a second registration of the same keys
// would go through silently and be lost with the first one's release.
std::set<std::pair<xcb_keycode_t, std::uint16_t>>& HeldByThisProcess() {
    static std::set<std::pair<xcb_keycode_t, std::uint16_t>> held;
    return held;
}

// The grab must fire whatever the state of Caps Lock and Num Lock, and the
// server matches modifiers exactly, so each combination is grabbed four times.
std::vector<std::uint16_t> LockVariants(std::uint16_t mask, std::uint16_t numLockMask) {
    std::vector<std::uint16_t> variants{mask, static_cast<std::uint16_t>(mask | XCB_MOD_MASK_LOCK)};
    if (numLockMask != 0) {
        variants.push_back(static_cast<std::uint16_t>(mask | numLockMask));
        variants.push_back(static_cast<std::uint16_t>(mask | numLockMask | XCB_MOD_MASK_LOCK));
    }
    return variants;
}

bool Succeeded(xcb_connection_t* connection, xcb_void_cookie_t cookie) {
    return TXcbReply<xcb_generic_error_t>(xcb_request_check(connection, cookie)) == nullptr;
}

} // namespace

TX11HotKeyReceiver::TX11HotKeyReceiver(xcb_connection_t* connection, xcb_window_t root)
    : FConnection(connection), FRoot(root) {
    QCoreApplication::instance()->installNativeEventFilter(this);
}

TX11HotKeyReceiver::~TX11HotKeyReceiver() {
    auto* app = QCoreApplication::instance();
    for (const auto& [id, grab] : FGrabs) {
        // Once the application is gone so is its connection, and the server
        // dropped the grabs with it.
        if (app)
            Ungrab(grab);
        else
            HeldByThisProcess().erase({grab.Keycode, grab.Mask});
    }
    if (app)
        app->removeNativeEventFilter(this);
}

bool TX11HotKeyReceiver::RegisterHotKey(std::uint16_t id, std::uint16_t modifiers,
                                        std::uint16_t key) {
    if (id == 0 || FGrabs.count(id) != 0)
        return false;
    const TX11Keyboard keyboard = TX11Keyboard::Query(FConnection);
    TGrab grab;
    grab.Keycode = keyboard.KeycodeOf(KeysymForVirtualKey(key));
    if (grab.Keycode == 0)
        return false;
    grab.NumLockMask = keyboard.ModifierMaskOf(XK_Num_Lock);
    if (modifiers & MOD_SHIFT)
        grab.Mask |= XCB_MOD_MASK_SHIFT;
    if (modifiers & MOD_CONTROL)
        grab.Mask |= XCB_MOD_MASK_CONTROL;
    if (modifiers & MOD_ALT)
        grab.Mask |= keyboard.ModifierMaskOr(XK_Alt_L, XCB_MOD_MASK_1);
    if (modifiers & MOD_WIN)
        grab.Mask |= keyboard.ModifierMaskOr(XK_Super_L, XCB_MOD_MASK_4);
    grab.Modifiers = modifiers;
    grab.Key = key;

    if (HeldByThisProcess().count({grab.Keycode, grab.Mask}) != 0 || !Grab(grab))
        return false;
    HeldByThisProcess().insert({grab.Keycode, grab.Mask});
    FGrabs[id] = grab;
    return true;
}

bool TX11HotKeyReceiver::UnregisterHotKey(std::uint16_t id) {
    auto found = FGrabs.find(id);
    if (found == FGrabs.end())
        return false;
    const bool released = Ungrab(found->second);
    FGrabs.erase(found);
    return released;
}

bool TX11HotKeyReceiver::Grab(const TGrab& grab) {
    // All requests first, then one answer each: a refusal (BadAccess when
    // another client holds the combination) is known before we return.
    const auto variants = LockVariants(grab.Mask, grab.NumLockMask);
    std::vector<xcb_void_cookie_t> cookies;
    cookies.reserve(variants.size());
    for (std::uint16_t variant : variants)
        cookies.push_back(xcb_grab_key_checked(FConnection, 0, FRoot, variant, grab.Keycode,
                                               XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    std::vector<std::uint16_t> taken;
    for (std::size_t i = 0; i < cookies.size(); ++i)
        if (Succeeded(FConnection, cookies[i]))
            taken.push_back(variants[i]);
    if (taken.size() == variants.size())
        return true;
    // Half a hotkey would fire only with some lock states; give back what we got.
    for (std::uint16_t variant : taken)
        Succeeded(FConnection, xcb_ungrab_key_checked(FConnection, grab.Keycode, FRoot, variant));
    return false;
}

bool TX11HotKeyReceiver::Ungrab(const TGrab& grab) {
    HeldByThisProcess().erase({grab.Keycode, grab.Mask});
    std::vector<xcb_void_cookie_t> cookies;
    for (std::uint16_t variant : LockVariants(grab.Mask, grab.NumLockMask))
        cookies.push_back(xcb_ungrab_key_checked(FConnection, grab.Keycode, FRoot, variant));
    // Waiting for the answers means the keys are free for others on return.
    bool all = true;
    for (auto cookie : cookies)
        all = Succeeded(FConnection, cookie) && all;
    return all;
}

bool TX11HotKeyReceiver::nativeEventFilter(const QByteArray& eventType, void* message,
                                           qintptr* /*result*/) {
    if (eventType != "xcb_generic_event_t")
        return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    const std::uint8_t type = event->response_type & 0x7F;
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE)
        return false;
    // Press and release events share one layout.
    auto* key = reinterpret_cast<xcb_key_press_event_t*>(event);
    if (key->event != FRoot)
        return false;
    for (const auto& [id, grab] : FGrabs) {
        const std::uint16_t lockMasks = XCB_MOD_MASK_LOCK | grab.NumLockMask;
        const std::uint16_t state = key->state & 0xFF & ~lockMasks;
        if (grab.Keycode != key->detail || grab.Mask != state)
            continue;
        // Releases of our keys are ours too, but only a press is a hotkey.
        if (type == XCB_KEY_PRESS && FHandler) {
            const THotKeyMessage hotKey{id, grab.Modifiers, grab.Key};
            // The handler may destroy this receiver; keep nothing of it in use.
            THandler handler = FHandler;
            handler(hotKey);
        }
        return true;
    }
    return false;
}

} // namespace vardocle
