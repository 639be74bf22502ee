#pragma once
#include "platform/screen/Screen.h"

namespace vardocle {

// Blends the cursor onto the grab with its hot spot at the pointer, clipped
// to the screen. Nothing is drawn for a hidden cursor. The part of the grab
// drawn over, empty when none.
TScreenRect DrawCursor(TScreenGrab& grab, const TCursorImage& cursor);

} // namespace vardocle
