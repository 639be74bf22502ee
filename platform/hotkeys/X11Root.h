#pragma once
#include <xcb/xcb.h>

namespace vardocle {

// The root window of the display's default screen. `display` is the Xlib
// display Qt opened (may be null); without it the first screen is used.
xcb_window_t X11DefaultRoot(void* display, xcb_connection_t* connection);

} // namespace vardocle
