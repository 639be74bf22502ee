#include "engine/CursorDraw.h"

#include <gtest/gtest.h>

using namespace vardocle;

namespace {

struct Canvas {
    Canvas(int width, int height)
        : Width(width), Pixels(static_cast<std::size_t>(width) * height, 0x00808080) {
        Grab = {reinterpret_cast<std::uint8_t*>(Pixels.data()), width, height,
                static_cast<std::ptrdiff_t>(width) * 4};
    }
    std::uint32_t At(int x, int y) const { return Pixels[y * Width + x] & 0xFFFFFF; }
    int Width;
    std::vector<std::uint32_t> Pixels;
    TScreenGrab Grab;
};

TCursorImage Arrow(int x, int y, std::uint32_t argb) {
    TCursorImage cursor;
    cursor.Visible = true;
    cursor.X = x;
    cursor.Y = y;
    cursor.HotX = 2;
    cursor.HotY = 2;
    cursor.Width = cursor.Height = 3;
    cursor.Pixels.assign(9, argb);
    return cursor;
}

} // namespace

TEST(DrawCursor, BlendsPremultipliedPixels) {
    Canvas canvas(8, 8);
    DrawCursor(canvas.Grab, Arrow(4, 4, 0x80400000)); // half-transparent dark red
    // 0x40 + 0x80 × (1 − 0x80/255) for red; the others keep half the grey.
    EXPECT_EQ(canvas.At(3, 3), 0x804040u);
    EXPECT_EQ(canvas.At(5, 5), 0x808080u);
}

TEST(DrawCursor, IsClippedAtTheScreenEdges) {
    Canvas canvas(4, 4);
    DrawCursor(canvas.Grab, Arrow(0, 0, 0xFF000000));
    EXPECT_EQ(canvas.At(0, 0), 0u);
    EXPECT_EQ(canvas.At(1, 0), 0x808080u);
    DrawCursor(canvas.Grab, Arrow(5, 5, 0xFF000000));
    EXPECT_EQ(canvas.At(3, 3), 0u);
    EXPECT_EQ(canvas.At(2, 2), 0x808080u);
    const std::vector<std::uint32_t> before = canvas.Pixels;
    DrawCursor(canvas.Grab, Arrow(100, -100, 0xFF000000)); // far outside: nothing
    EXPECT_EQ(canvas.Pixels, before);
}

TEST(DrawCursor, DrawsNothingForAHiddenCursor) {
    Canvas canvas(4, 4);
    auto cursor = Arrow(2, 2, 0xFF000000);
    cursor.Visible = false;
    DrawCursor(canvas.Grab, cursor);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(canvas.At(x, y), 0x808080u);
}
