#include "platform/screen/AreaPicture.h"

#include <algorithm>
#include <cstring>

namespace vardocle {

// True when the picture was made anew (all black).
bool TAreaPicture::Ensure(int width, int height) {
    if (width == FWidth && height == FHeight && !FPixels.empty())
        return false;
    FWidth = width;
    FHeight = height;
    FPixels.assign(static_cast<std::size_t>(width) * height * 4, 0);
    FLeft = FTop = -1;
    FPartWidth = FPartHeight = 0;
    return true;
}

TScreenGrab TAreaPicture::Black(int width, int height) {
    if (width <= 0 || height <= 0)
        return {};
    // The cursor may have been drawn on the last one.
    if (!Ensure(width, height))
        std::fill(FPixels.begin(), FPixels.end(), std::uint8_t{0});
    FPartWidth = FPartHeight = 0;
    return {FPixels.data(), width, height, std::ptrdiff_t{width} * 4};
}

TScreenGrab TAreaPicture::Place(const TScreenGrab& part, int width, int height, int left, int top) {
    if (!part.Pixels || width <= 0 || height <= 0)
        return {};
    const bool fresh = Ensure(width, height);
    const bool moved =
        left != FLeft || top != FTop || part.Width != FPartWidth || part.Height != FPartHeight;
    // What lay outside the part before may be black now.
    if (moved && !fresh)
        std::fill(FPixels.begin(), FPixels.end(), std::uint8_t{0});
    FLeft = left;
    FTop = top;
    FPartWidth = part.Width;
    FPartHeight = part.Height;
    const int columns = std::min(part.Width, width - left);
    const std::ptrdiff_t stride = std::ptrdiff_t{width} * 4;
    TChangedRows changed = TChangedRows::Nothing();
    const auto copy = [&](int from, int to) {
        to = std::min(to, std::min(part.Height, height - top));
        for (int y = std::max(from, 0); y < to; ++y)
            std::memcpy(FPixels.data() + (top + y) * stride + std::ptrdiff_t{left} * 4,
                        part.Pixels + y * part.Stride, static_cast<std::size_t>(columns) * 4);
        changed.Add(top + from, top + to);
    };
    if (moved || fresh || part.Changed.All()) {
        copy(0, part.Height);
        return {FPixels.data(), width, height, stride};
    }
    for (const auto& [from, to] : part.Changed.Runs())
        copy(from, to);
    return {FPixels.data(), width, height, stride, changed};
}

} // namespace vardocle
