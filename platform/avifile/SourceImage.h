#pragma once
// A picture handed to the scaler or a compressor: the full-size screen grab
// (32-bit B, G, R, unused) or a 24-bit B, G, R bitmap. A negative stride walks
// the rows bottom-up, as device-independent bitmaps store them.
#include <cstddef>
#include <cstdint>

namespace vardocle {

enum class TPixelLayout { Bgr0, Bgr24 };

struct TSourceImage {
    const std::uint8_t* Pixels = nullptr; // the top row
    int Width = 0;
    int Height = 0;
    std::ptrdiff_t Stride = 0; // bytes from one row to the one below it
    TPixelLayout Layout = TPixelLayout::Bgr0;

    bool IsValid() const { return Pixels != nullptr && Width > 0 && Height > 0 && Stride != 0; }
};

} // namespace vardocle
