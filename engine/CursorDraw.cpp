#include "engine/CursorDraw.h"

#include <algorithm>

namespace vardocle {

TScreenRect DrawCursor(TScreenGrab& grab, const TCursorImage& cursor) {
    if (!cursor.Visible || !grab.Pixels || cursor.Width <= 0 || cursor.Height <= 0 ||
        cursor.Pixels.size() < static_cast<std::size_t>(cursor.Width) * cursor.Height)
        return {};
    const int left = cursor.X - cursor.HotX;
    const int top = cursor.Y - cursor.HotY;
    const int fromX = std::max(0, -left);
    const int toX = std::min(cursor.Width, grab.Width - left);
    const int fromY = std::max(0, -top);
    const int toY = std::min(cursor.Height, grab.Height - top);
    for (int y = fromY; y < toY; ++y) {
        std::uint8_t* row =
            grab.Pixels + (top + y) * grab.Stride + static_cast<std::ptrdiff_t>(left) * 4;
        const std::uint32_t* source =
            cursor.Pixels.data() + static_cast<std::size_t>(y) * cursor.Width;
        for (int x = fromX; x < toX; ++x) {
            const std::uint32_t argb = source[x];
            const std::uint32_t alpha = argb >> 24;
            if (alpha == 0)
                continue;
            std::uint8_t* pixel = row + static_cast<std::ptrdiff_t>(x) * 4;
            const std::uint32_t keep = 255 - alpha;
            // Premultiplied: result = cursor + screen × (1 − alpha).
            pixel[0] = static_cast<std::uint8_t>((argb & 0xFF) + (pixel[0] * keep + 127) / 255);
            pixel[1] =
                static_cast<std::uint8_t>(((argb >> 8) & 0xFF) + (pixel[1] * keep + 127) / 255);
            pixel[2] =
                static_cast<std::uint8_t>(((argb >> 16) & 0xFF) + (pixel[2] * keep + 127) / 255);
        }
    }
    if (toX <= fromX || toY <= fromY)
        return {};
    return {left + fromX, top + fromY, toX - fromX, toY - fromY};
}

} // namespace vardocle
