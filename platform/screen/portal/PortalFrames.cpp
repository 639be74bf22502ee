#include "platform/screen/portal/PortalFrames.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace vardocle {

std::optional<std::string> CopyCastBuffer(const TCastBuffer& buffer, const TCastFormat& format,
                                          TCastPicture& picture) {
    if (format.Width <= 0 || format.Height <= 0)
        return "the stream's picture has no size";
    if (!buffer.Data)
        return "the stream's buffer is not mapped";
    const std::uint64_t rowBytes = static_cast<std::uint64_t>(format.Width) * 4;
    if (buffer.Stride < 0 || static_cast<std::uint64_t>(buffer.Stride) < rowBytes)
        return "the stream's row stride " + std::to_string(buffer.Stride) +
               " is shorter than a row of " + std::to_string(format.Width) + " pixels";
    const std::uint64_t needed = static_cast<std::uint64_t>(buffer.Stride) * format.Height;
    if (buffer.Size < needed || buffer.Offset > buffer.MappedSize ||
        buffer.MappedSize - buffer.Offset < needed)
        return "the stream's buffer holds " + std::to_string(buffer.Size) + " bytes, less than " +
               std::to_string(needed) + " for " + std::to_string(format.Width) + "x" +
               std::to_string(format.Height) + " pixels";

    picture.Width = format.Width;
    picture.Height = format.Height;
    picture.Pixels.resize(rowBytes * format.Height);
    const std::uint8_t* source = buffer.Data + buffer.Offset;
    std::uint8_t* target = picture.Pixels.data();
    const bool swapRedBlue =
        format.Pixels == TCastPixelFormat::Rgbx || format.Pixels == TCastPixelFormat::Rgba;
    for (int y = 0; y < format.Height; ++y) {
        const std::uint8_t* row = source + static_cast<std::size_t>(y) * buffer.Stride;
        std::uint8_t* out = target + static_cast<std::size_t>(y) * rowBytes;
        if (!swapRedBlue) {
            std::memcpy(out, row, rowBytes);
            continue;
        }
        for (std::size_t x = 0; x < static_cast<std::size_t>(format.Width); ++x) {
            out[4 * x] = row[4 * x + 2];
            out[4 * x + 1] = row[4 * x + 1];
            out[4 * x + 2] = row[4 * x];
            out[4 * x + 3] = row[4 * x + 3];
        }
    }
    return std::nullopt;
}

TScreenGrab CropCastPicture(TCastPicture& picture, const TScreenRect& region, TCastPicture& spare) {
    if (region.Empty())
        return {};
    const TScreenRect visible = region.Intersect({0, 0, picture.Width, picture.Height});
    if (visible == region)
        return {picture.Pixels.data() + region.Y * picture.Stride() + std::ptrdiff_t{4} * region.X,
                region.Width, region.Height, picture.Stride()};
    spare.Width = region.Width;
    spare.Height = region.Height;
    spare.Pixels.assign(static_cast<std::size_t>(spare.Stride()) * region.Height, 0);
    for (int y = visible.Y; y < visible.Y + visible.Height; ++y)
        std::memcpy(spare.Pixels.data() + (y - region.Y) * spare.Stride() +
                        std::ptrdiff_t{4} * (visible.X - region.X),
                    picture.Pixels.data() + y * picture.Stride() + std::ptrdiff_t{4} * visible.X,
                    static_cast<std::size_t>(visible.Width) * 4);
    return {spare.Pixels.data(), spare.Width, spare.Height, spare.Stride()};
}

TScreenRect BoundingBox(const TScreenRect& a, const TScreenRect& b) {
    if (a.Empty())
        return b;
    if (b.Empty())
        return a;
    const int left = std::min(a.X, b.X);
    const int top = std::min(a.Y, b.Y);
    const int right = std::max(a.X + a.Width, b.X + b.Width);
    const int bottom = std::max(a.Y + a.Height, b.Y + b.Height);
    return {left, top, right - left, bottom - top};
}

void TLatestPicture::Publish(const std::optional<TScreenRect>& changed) {
    std::lock_guard guard(FLock);
    const TCastPicture& picture = FPictures[FBack];
    // A picture of another size changed everywhere, whatever the desktop says.
    const bool resized = picture.Width != FLastWidth || picture.Height != FLastHeight;
    FLastWidth = picture.Width;
    FLastHeight = picture.Height;
    if (!changed || resized) {
        FAllChanged = true;
    } else if (!FFresh) {
        FAllChanged = false;
        FChanged = *changed;
    } else if (!FAllChanged) {
        // Changes pile up until a picture is taken: the box around them.
        FChanged = BoundingBox(FChanged, *changed);
    }
    std::swap(FBack, FNewest);
    FFresh = true;
    FAny = true;
}

bool TLatestPicture::Fresh() {
    std::lock_guard guard(FLock);
    return FFresh;
}

bool TLatestPicture::FreshIn(const TScreenRect& area) {
    std::lock_guard guard(FLock);
    return FFresh && (FAllChanged || !FChanged.Intersect(area).Empty());
}

TCastPicture* TLatestPicture::Take() {
    std::lock_guard guard(FLock);
    if (FFresh) {
        std::swap(FNewest, FFront);
        FFresh = false;
    }
    return FAny ? &FPictures[FFront] : nullptr;
}

} // namespace vardocle
