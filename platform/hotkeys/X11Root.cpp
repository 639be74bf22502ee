// Xlib's macros clash with Qt's names; this file includes Xlib alone.
#include "platform/hotkeys/X11Root.h"

#include <X11/Xlib.h>

namespace vardocle {

xcb_window_t X11DefaultRoot(void* display, xcb_connection_t* connection) {
    if (display != nullptr)
        return static_cast<xcb_window_t>(DefaultRootWindow(static_cast<Display*>(display)));
    return xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
}

} // namespace vardocle
