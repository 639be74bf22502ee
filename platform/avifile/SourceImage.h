#pragma once
// A picture handed to the scaler or a compressor: the full-size screen grab
// (32-bit B, G, R, unused) or a 24-bit B, G, R bitmap. A negative stride walks
// the rows bottom-up, as device-independent bitmaps store them.
#include <cstddef>
#include <cstdint>
#include <limits>

namespace vardocle {

enum class TPixelLayout { Bgr0, Bgr24 };

// The rows [Top, Bottom) of a picture that may differ from the picture the
// same source handed over before it; every row unless the source knows.
struct TChangedRows {
    int Top = 0;
    int Bottom = std::numeric_limits<int>::max();

    static TChangedRows Nothing() { return {0, 0}; }
    bool Empty() const { return Bottom <= Top; }
    void Add(int top, int bottom) {
        if (bottom <= top)
            return;
        if (Empty()) {
            Top = top;
            Bottom = bottom;
            return;
        }
        Top = top < Top ? top : Top;
        Bottom = bottom > Bottom ? bottom : Bottom;
    }
};

struct TSourceImage {
    TSourceImage() = default;
    TSourceImage(const std::uint8_t* pixels, int width, int height, std::ptrdiff_t stride,
                 TPixelLayout layout = TPixelLayout::Bgr0, TChangedRows changed = {})
        : Pixels(pixels), Width(width), Height(height), Stride(stride), Layout(layout),
          Changed(changed) {}

    const std::uint8_t* Pixels = nullptr; // the top row
    int Width = 0;
    int Height = 0;
    std::ptrdiff_t Stride = 0; // bytes from one row to the one below it
    TPixelLayout Layout = TPixelLayout::Bgr0;
    TChangedRows Changed;

    bool IsValid() const { return Pixels != nullptr && Width > 0 && Height > 0 && Stride != 0; }
};

} // namespace vardocle
