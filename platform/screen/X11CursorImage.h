#pragma once
// The cursor's picture as XFixes hands it: premultiplied ARGB in 32-bit
// pixels, its hot spot, and the pointer's place on the root window.
#include "platform/screen/Screen.h"

#include <X11/Xlib.h>

namespace vardocle {

// The cursor now, X and Y on the root; not Visible when XFixes cannot tell
// or the cursor is hidden (an empty or fully transparent picture).
TCursorImage ReadX11Cursor(Display* connection);

} // namespace vardocle
