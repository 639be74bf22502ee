#include "platform/avifile/ImageScaler.h"

extern "C" {
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

namespace vardocle {

TImageScaler::~TImageScaler() {
    sws_freeContext(FContext);
}

bool TImageScaler::Scale(const TSourceImage& source, int width, int height, int pixelFormat,
                         std::uint8_t* const planes[], const int strides[]) {
    if (!source.IsValid() || width <= 0 || height <= 0)
        return false;
    const AVPixelFormat sourceFormat =
        source.Layout == TPixelLayout::Bgr0 ? AV_PIX_FMT_BGR0 : AV_PIX_FMT_BGR24;
    // Bicubic keeps small text legible where bilinear blurs it.
    FContext = sws_getCachedContext(FContext, source.Width, source.Height, sourceFormat, width,
                                    height, static_cast<AVPixelFormat>(pixelFormat), SWS_BICUBIC,
                                    nullptr, nullptr, nullptr);
    if (!FContext)
        return false;
    const std::uint8_t* sourcePlanes[1] = {source.Pixels};
    const int sourceStrides[1] = {static_cast<int>(source.Stride)};
    return sws_scale(FContext, sourcePlanes, sourceStrides, 0, source.Height, planes, strides) ==
           height;
}

bool TImageScaler::ScaleToBottomUpBgr24(const TSourceImage& source, int width, int height,
                                        std::uint8_t* bits) {
    const int rowBytes = ((width * 24 + 31) & ~31) / 8;
    // Writing from the last row upwards turns the top-down picture bottom-up.
    std::uint8_t* planes[1] = {bits + static_cast<std::ptrdiff_t>(height - 1) * rowBytes};
    const int strides[1] = {-rowBytes};
    return Scale(source, width, height, AV_PIX_FMT_BGR24, planes, strides);
}

} // namespace vardocle
