#include "platform/screen/X11CursorImage.h"

#include <X11/extensions/Xfixes.h>

namespace vardocle {

TCursorImage ReadX11Cursor(Display* connection) {
    XFixesCursorImage* image = XFixesGetCursorImage(connection);
    if (!image)
        return {};
    TCursorImage cursor;
    cursor.X = image->x;
    cursor.Y = image->y;
    cursor.HotX = image->xhot;
    cursor.HotY = image->yhot;
    cursor.Width = image->width;
    cursor.Height = image->height;
    const std::size_t count = static_cast<std::size_t>(image->width) * image->height;
    cursor.Pixels.resize(count);
    bool anyVisible = false;
    // XFixes hands 32-bit pixels in longs, whatever a long's size.
    for (std::size_t i = 0; i < count; ++i) {
        cursor.Pixels[i] = static_cast<std::uint32_t>(image->pixels[i]);
        anyVisible = anyVisible || (cursor.Pixels[i] >> 24) != 0;
    }
    XFree(image);
    cursor.Visible = anyVisible;
    return cursor;
}

} // namespace vardocle
