#include "platform/shell/OffTaskbar.h"

#include "platform/base/QtChild.h"

#include <QEvent>
#include <QGuiApplication>
#include <QWidget>

#include <xcb/xcb.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace vardocle {

namespace {

xcb_atom_t Atom(xcb_connection_t* connection, const char* name) {
    const auto cookie =
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

xcb_connection_t* X11Connection() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app || QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

// The window manager reads a window's _NET_WM_STATE when the window is
// mapped and drops it when the window is withdrawn (hidden): the states are
// put on the window anew before every showing. Qt keeps states it finds
// there when it adds its own.
void MarkBeforeMapping(QWidget& window) {
    xcb_connection_t* connection = X11Connection();
    if (!connection)
        return;
    const xcb_window_t id = static_cast<xcb_window_t>(window.winId());
    const xcb_atom_t state = Atom(connection, "_NET_WM_STATE");
    const std::array<xcb_atom_t, 2> wanted = {Atom(connection, "_NET_WM_STATE_SKIP_TASKBAR"),
                                              Atom(connection, "_NET_WM_STATE_SKIP_PAGER")};
    if (state == XCB_ATOM_NONE)
        return;
    std::vector<xcb_atom_t> states;
    const auto cookie = xcb_get_property(connection, 0, id, state, XCB_ATOM_ATOM, 0, 64);
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(connection, cookie, nullptr), &std::free);
    if (reply && reply->format == 32 && reply->type == XCB_ATOM_ATOM) {
        const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
        states.assign(atoms, atoms + xcb_get_property_value_length(reply.get()) / 4);
    }
    for (const xcb_atom_t atom : wanted)
        if (atom != XCB_ATOM_NONE && std::find(states.begin(), states.end(), atom) == states.end())
            states.push_back(atom);
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, state, XCB_ATOM_ATOM, 32,
                        static_cast<std::uint32_t>(states.size()), states.data());
    xcb_flush(connection);
}

class TOffTaskbarFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // The program's own showing comes before the window is mapped; a
        // spontaneous one is the window system's, after it.
        if (event->type() == QEvent::Show && !event->spontaneous())
            MarkBeforeMapping(*static_cast<QWidget*>(watched));
        return false;
    }
};

} // namespace

void KeepOffTaskbar(QWidget& window) {
    window.installEventFilter(MakeQtChild<TOffTaskbarFilter>(&window));
}

} // namespace vardocle
