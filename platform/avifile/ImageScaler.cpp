#include "platform/avifile/ImageScaler.h"

#include <libyuv/convert_from_argb.h>

extern "C" {
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

namespace vardocle {

TImageScaler::~TImageScaler() {
    sws_freeContext(FContext);
    sws_freeContext(FPlanarContext);
}

bool TImageScaler::ScaleToYuv420(const TSourceImage& source, int width, int height, bool fullRange,
                                 std::uint8_t* const planes[], const int strides[]) {
    const auto convert = fullRange ? libyuv::ARGBToJ420 : libyuv::ARGBToI420;
    const int stride = static_cast<int>(source.Stride);
    if (source.Width == width && source.Height == height)
        return convert(source.Pixels, stride, planes[0], strides[0], planes[1], strides[1],
                       planes[2], strides[2], width, height) == 0;
    // Converting the whole screen first is one cheap pass; the scaling then
    // works on 8-bit planes, where the bicubic filter that keeps small text
    // legible costs a fraction of what it costs on 32-bit pixels.
    const int chromaWidth = (source.Width + 1) / 2;
    const int chromaHeight = (source.Height + 1) / 2;
    const std::size_t lumaBytes = static_cast<std::size_t>(source.Width) * source.Height;
    const std::size_t chromaBytes = static_cast<std::size_t>(chromaWidth) * chromaHeight;
    FConverted.resize(lumaBytes + 2 * chromaBytes);
    std::uint8_t* const converted[3] = {FConverted.data(), FConverted.data() + lumaBytes,
                                        FConverted.data() + lumaBytes + chromaBytes};
    const int convertedStrides[3] = {source.Width, chromaWidth, chromaWidth};
    if (convert(source.Pixels, stride, converted[0], convertedStrides[0], converted[1],
                convertedStrides[1], converted[2], convertedStrides[2], source.Width,
                source.Height) != 0)
        return false;
    const auto format = fullRange ? AV_PIX_FMT_YUVJ420P : AV_PIX_FMT_YUV420P;
    FPlanarContext =
        sws_getCachedContext(FPlanarContext, source.Width, source.Height, format, width, height,
                             format, SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (!FPlanarContext)
        return false;
    return sws_scale(FPlanarContext, converted, convertedStrides, 0, source.Height, planes,
                     strides) == height;
}

bool TImageScaler::Scale(const TSourceImage& source, int width, int height, int pixelFormat,
                         std::uint8_t* const planes[], const int strides[]) {
    if (!source.IsValid() || width <= 0 || height <= 0)
        return false;
    // BT.601, limited range for YUV420P and full range for the JPEG form: the
    // colour spaces the encoders are told.
    if (source.Layout == TPixelLayout::Bgr0 &&
        (pixelFormat == AV_PIX_FMT_YUV420P || pixelFormat == AV_PIX_FMT_YUVJ420P))
        return ScaleToYuv420(source, width, height, pixelFormat == AV_PIX_FMT_YUVJ420P, planes,
                             strides);
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
