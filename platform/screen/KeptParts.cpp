#include "platform/screen/KeptParts.h"

#include <cstring>

namespace vardocle {

void TKeptParts::Take(const TScreenGrab& picture, const std::vector<TScreenRect>& parts) {
    Forget();
    if (!picture.Pixels)
        return;
    const TScreenRect whole{0, 0, picture.Width, picture.Height};
    for (const TScreenRect& part : parts) {
        const TScreenRect inside = part.Intersect(whole);
        if (inside.Empty())
            continue;
        FParts.push_back(inside);
        for (int y = inside.Y; y < inside.Y + inside.Height; ++y) {
            const std::uint8_t* row =
                picture.Pixels + y * picture.Stride + std::ptrdiff_t{4} * inside.X;
            FPixels.insert(FPixels.end(), row, row + std::ptrdiff_t{4} * inside.Width);
        }
    }
    FWidth = picture.Width;
    FHeight = picture.Height;
    FTaken = true;
}

bool TKeptParts::Covers(const TScreenRect& rect) const {
    for (const TScreenRect& part : FParts)
        if (part.Contains(rect))
            return true;
    return false;
}

void TKeptParts::Forget() {
    FParts.clear();
    FPixels.clear();
    FTaken = false;
}

TChangedRows TKeptParts::Differing(const TScreenGrab& now) const {
    if (!FTaken || !now.Pixels || now.Width != FWidth || now.Height != FHeight)
        return {};
    TChangedRows differing = TChangedRows::Nothing();
    const std::uint8_t* kept = FPixels.data();
    for (const TScreenRect& part : FParts) {
        const std::size_t bytes = static_cast<std::size_t>(part.Width) * 4;
        int first = -1;
        int last = -1;
        for (int y = part.Y; y < part.Y + part.Height; ++y, kept += bytes) {
            const std::uint8_t* row = now.Pixels + y * now.Stride + std::ptrdiff_t{4} * part.X;
            if (std::memcmp(row, kept, bytes) != 0) {
                first = first < 0 ? y : first;
                last = y;
            }
        }
        if (first >= 0)
            differing.AddArea(part.X, first, part.Width, last - first + 1);
    }
    return differing;
}

} // namespace vardocle
