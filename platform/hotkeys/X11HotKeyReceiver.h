#pragma once
// Hotkeys on X11: passive key grabs on the root window, taken through the
// application's own connection so that the presses arrive in its event loop.
#include "platform/hotkeys/HotKeyReceiver.h"

#include <QAbstractNativeEventFilter>
#include <xcb/xcb.h>

#include <map>

namespace vardocle {

class TX11HotKeyReceiver final : public IHotKeyReceiver, public QAbstractNativeEventFilter {
public:
    // The connection must be the one the Qt event loop reads.
    TX11HotKeyReceiver(xcb_connection_t* connection, xcb_window_t root);
    ~TX11HotKeyReceiver() override;
    TX11HotKeyReceiver(const TX11HotKeyReceiver&) = delete;
    TX11HotKeyReceiver& operator=(const TX11HotKeyReceiver&) = delete;

    bool RegisterHotKey(std::uint16_t id, std::uint16_t modifiers, std::uint16_t key) override;
    bool UnregisterHotKey(std::uint16_t id) override;
    void SetHandler(THandler handler) override { FHandler = std::move(handler); }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    struct TGrab {
        xcb_keycode_t Keycode = 0;
        std::uint16_t Mask = 0;        // X modifier state of the hotkey
        std::uint16_t NumLockMask = 0; // ignored with Caps Lock when a press arrives
        std::uint16_t Modifiers = 0;   // as registered
        std::uint16_t Key = 0;
    };
    bool Grab(const TGrab& grab);
    bool Ungrab(const TGrab& grab);

    xcb_connection_t* FConnection;
    xcb_window_t FRoot;
    std::map<std::uint16_t, TGrab> FGrabs;
    THandler FHandler;
};

} // namespace vardocle
