#include "platform/avifile/ImageScaler.h"

#include <libyuv/convert_from_argb.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

namespace vardocle {

TImageScaler::~TImageScaler() {
    sws_freeContext(FContext);
    sws_freeContext(FPlanarContext);
    for (SwsContext* context : FBandContexts)
        sws_freeContext(context);
}

void TImageScaler::TFrameDeleter::operator()(AVFrame* frame) const {
    av_frame_free(&frame);
}

namespace {

// A frame of its own memory in the given format and size; null when out of memory.
AVFrame* NewFrame(int format, int width, int height) {
    AVFrame* frame = av_frame_alloc();
    if (!frame)
        return nullptr;
    frame->format = format;
    frame->width = width;
    frame->height = height;
    if (av_frame_get_buffer(frame, 0) < 0)
        av_frame_free(&frame);
    return frame;
}

bool SameShape(const AVFrame* frame, int format, int width, int height) {
    return frame && frame->format == format && frame->width == width && frame->height == height;
}

// The output rows (or columns) that rows [first, last) of a source `sourceSize`
// long reach through the bicubic filter of all planes, on whole pairs.
std::pair<int, int> Reached(int first, int last, int sourceSize, int size) {
    const double ratio = static_cast<double>(sourceSize) / size;
    // Two taps each side, stretched by the ratio when shrinking, and a little
    // more for rounding; doubled, as the chroma planes' rows are two rows.
    const double margin = 2.0 * (4.0 * std::max(ratio, 1.0) + 4.0);
    const int from = static_cast<int>(std::floor((first - margin) / ratio));
    const int to = static_cast<int>(std::ceil((last + margin) / ratio));
    return {std::max(0, from & ~1), std::min(size, to + (to & 1))};
}

// [first, last) within [0, size), widened to whole pairs (the chroma planes'
// samples are two pixels each way).
std::pair<int, int> OnPairs(int first, int last, int size) {
    first = std::max(0, first) & ~1;
    last = std::min(size, last);
    return {first, std::min(size, last + (last & 1))};
}

// The output rows (or columns) [first, last) widened by a few on each side
// (those a band's own edge spoils) and set on the rows where the two sizes
// repeat their ratio, with the source rows that make them.
struct TBandSpan {
    int First = 0;
    int Last = 0;
    int SourceFirst = 0;
    int SourceCount = 0;
    int Units = 0;      // how many repeats of the ratio the span holds
    bool Whole = false; // past half the picture
};

TBandSpan BandSpan(int first, int last, int sourceSize, int size) {
    const int common = std::gcd(sourceSize, size);
    const int unit = 2 * size / common;
    const int sourceUnit = 2 * sourceSize / common;
    // A few more than the two at each edge that come out otherwise; more
    // where the picture is enlarged and a source row reaches further.
    const int edge = 8 * std::max(1, (size + sourceSize - 1) / sourceSize);
    TBandSpan span;
    span.First = std::max(0, (first - edge) / unit * unit);
    span.Last = std::min(size, (last + edge + unit - 1) / unit * unit);
    span.Whole = span.Last - span.First > size / 2;
    if (span.Whole) {
        span.First = 0;
        span.Last = size;
    }
    span.Units = (span.Last - span.First) / unit;
    span.SourceFirst = span.First / unit * sourceUnit;
    span.SourceCount = span.Last == size ? sourceSize - span.SourceFirst : span.Units * sourceUnit;
    return span;
}

} // namespace

bool TImageScaler::ScaleRows(const TChangedArea& area, int format, TChangedRows& changed) {
    AVFrame& converted = *FConverted;
    AVFrame& scaled = *FScaled;
    const auto pixelFormat = static_cast<AVPixelFormat>(format);
    // A band of output rows scaled on its own is exactly what the whole pass
    // gives it, away from its edges, where it starts on a row the whole pass
    // would start a row on: a whole number of the rows in which the two
    // heights repeat their ratio (doubled for the halved chroma rows). The
    // same holds for its columns.
    const TBandSpan rows = BandSpan(area.Top, area.Bottom, converted.height, scaled.height);
    TBandSpan columns = BandSpan(area.Left, area.Right, converted.width, scaled.width);
    // Past half the picture one whole pass is cheaper; its rows go through
    // the same comparison, so that a whole grab of a picture that hardly
    // changed tells only what did.
    const bool whole = rows.Whole;
    TChangedArea copied = area;
    if (whole) {
        copied = {0, scaled.height, 0, scaled.width};
        columns = BandSpan(0, scaled.width, converted.width, scaled.width);
    }
    const int bandHeight = rows.Last - rows.First;
    const int bandWidth = columns.Last - columns.First;
    SwsContext* context = FPlanarContext;
    if (!whole) {
        // Bands come in a few sizes; setting a scaler up costs more than a band.
        SwsContext*& bandContext =
            FBandContexts[static_cast<std::size_t>(rows.Units * 31 + columns.Units) %
                          FBandContexts.size()];
        bandContext = sws_getCachedContext(bandContext, columns.SourceCount, rows.SourceCount,
                                           pixelFormat, bandWidth, bandHeight, pixelFormat,
                                           SWS_BICUBIC, nullptr, nullptr, nullptr);
        context = bandContext;
    }
    if (!context)
        return false;
    const std::uint8_t* from[4] = {};
    for (int plane = 0; plane < 3; ++plane) {
        const int shift = plane ? 1 : 0;
        from[plane] =
            converted.data[plane] +
            static_cast<std::ptrdiff_t>(rows.SourceFirst >> shift) * converted.linesize[plane] +
            (columns.SourceFirst >> shift);
    }
    // The band goes to rows of its own; only its exact rows are kept.
    const int bandStrides[4] = {scaled.linesize[0], scaled.linesize[1], scaled.linesize[2], 0};
    FBand.resize(static_cast<std::size_t>(bandHeight) * bandStrides[0] +
                 2 * static_cast<std::size_t>((bandHeight + 1) / 2) * bandStrides[1]);
    std::uint8_t* band[4] = {
        FBand.data(), FBand.data() + static_cast<std::ptrdiff_t>(bandHeight) * bandStrides[0],
        FBand.data() + static_cast<std::ptrdiff_t>(bandHeight) * bandStrides[0] +
            static_cast<std::ptrdiff_t>((bandHeight + 1) / 2) * bandStrides[1]};
    if (sws_scale(context, from, converted.linesize, 0, rows.SourceCount, band, bandStrides) !=
        bandHeight)
        return false;
    // The pixels that really changed, found as the rows are copied: the
    // reach of the filter only bounds them, and a band may differ from the
    // picture before by a step of rounding where nothing changed nearby.
    int changedTop = scaled.height;
    int changedBottom = 0;
    int changedLeft = scaled.width;
    int changedRight = 0;
    for (int plane = 0; plane < 3; ++plane) {
        const int shift = plane ? 1 : 0;
        const int top = copied.Top >> shift;
        const int count = ((copied.Bottom + shift) >> shift) - top;
        const int offset = top - (rows.First >> shift);
        const int left = copied.Left >> shift;
        const int bytes = std::min(scaled.width >> shift, (copied.Right + shift) >> shift) - left;
        const int bandLeft = left - (columns.First >> shift);
        for (int y = 0; y < count && bytes > 0; ++y) {
            std::uint8_t* to = scaled.data[plane] +
                               static_cast<std::ptrdiff_t>(top + y) * scaled.linesize[plane] + left;
            const std::uint8_t* from =
                band[plane] + static_cast<std::ptrdiff_t>(offset + y) * bandStrides[plane] +
                bandLeft;
            int first = 0;
            while (first < bytes && to[first] == from[first])
                ++first;
            if (first == bytes)
                continue;
            int last = bytes;
            while (to[last - 1] == from[last - 1])
                --last;
            changedTop = std::min(changedTop, (top + y) << shift);
            changedBottom = std::max(changedBottom, (top + y + 1) << shift);
            changedLeft = std::min(changedLeft, (left + first) << shift);
            changedRight = std::max(changedRight, (left + last) << shift);
            std::memcpy(to + first, from + first, static_cast<std::size_t>(last - first));
        }
    }
    if (changedTop < changedBottom)
        changed.AddArea(changedLeft, changedTop, changedRight - changedLeft,
                        changedBottom - changedTop);
    return true;
}

bool TImageScaler::KeepPlanes(const TSourceImage& source, int width, int height, int format) {
    // At the same size the screen is converted straight into the output.
    const bool scaling = source.Width != width || source.Height != height;
    if (!scaling) {
        FConverted.reset();
    } else if (!SameShape(FConverted.get(), format, source.Width, source.Height)) {
        FConverted.reset(NewFrame(format, source.Width, source.Height));
        FKeptValid = false;
    }
    if (!SameShape(FScaled.get(), format, width, height)) {
        FScaled.reset(NewFrame(format, width, height));
        FKeptValid = false;
    }
    return (FConverted || !scaling) && FScaled;
}

bool TImageScaler::ScaleToYuv420(const TSourceImage& source, int width, int height, bool fullRange,
                                 TChangedRows& changedOut) {
    const auto convert = fullRange ? libyuv::ARGBToJ420 : libyuv::ARGBToI420;
    const int stride = static_cast<int>(source.Stride);
    const auto format = fullRange ? AV_PIX_FMT_YUVJ420P : AV_PIX_FMT_YUV420P;
    if (!KeepPlanes(source, width, height, format))
        return false;
    const bool keptValid = FKeptValid;
    FKeptValid = false;
    changedOut = {};
    const TChangedRows changed = keptValid ? source.Changed : TChangedRows{};
    // Converts the source's rows [top, top + rows) and columns [left, right),
    // both on pairs, into the same place of `frame`.
    const auto into = [&](AVFrame& frame, int top, int rows, int left, int right) {
        const auto at = [&](int plane, int y, int x) {
            return frame.data[plane] + static_cast<std::ptrdiff_t>(y) * frame.linesize[plane] + x;
        };
        return convert(source.Pixels + static_cast<std::ptrdiff_t>(top) * stride +
                           static_cast<std::ptrdiff_t>(left) * 4,
                       stride, at(0, top, left), frame.linesize[0], at(1, top / 2, left / 2),
                       frame.linesize[1], at(2, top / 2, left / 2), frame.linesize[2], right - left,
                       rows) == 0;
    };
    if (source.Width == width && source.Height == height) {
        // The same size: only the changed rows are converted, straight into
        // the kept planes.
        if (changed.All()) {
            if (!into(*FScaled, 0, height, 0, width))
                return false;
            FKeptValid = true;
            return true;
        }
        changedOut = TChangedRows::Nothing();
        for (const TChangedArea& area : changed.Areas()) {
            const auto [top, bottom] = OnPairs(area.Top, area.Bottom, height);
            const auto [left, right] = OnPairs(area.Left, area.Right, width);
            if (bottom <= top || right <= left)
                continue;
            if (!into(*FScaled, top, bottom - top, left, right))
                return false;
            changedOut.AddArea(left, top, right - left, bottom - top);
        }
        FKeptValid = true;
        return true;
    }
    // Converting the whole screen first is one cheap pass; the scaling then
    // works on 8-bit planes, where the bicubic filter that keeps small text
    // legible costs a fraction of what it costs on 32-bit pixels.
    FPlanarContext =
        sws_getCachedContext(FPlanarContext, source.Width, source.Height, format, width, height,
                             format, SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (!FPlanarContext)
        return false;
    // The output areas the changed parts reach through the filter; those on
    // rows that meet are one band, as wide as both.
    std::vector<TChangedArea> reached;
    int reachedRows = 0;
    for (const TChangedArea& area : changed.Areas()) {
        // Chroma rows come from pairs of rows: a change starts and ends on a pair.
        const auto [top, bottom] = OnPairs(area.Top, area.Bottom, source.Height);
        const auto [left, right] = OnPairs(area.Left, area.Right, source.Width);
        if (bottom <= top || right <= left)
            continue;
        // The rest of the converted screen is as it was.
        if (!into(*FConverted, top, bottom - top, left, right))
            return false;
        const auto rows = Reached(top, bottom, source.Height, height);
        const auto columns = Reached(left, right, source.Width, width);
        if (!reached.empty() && rows.first <= reached.back().Bottom) {
            TChangedArea& last = reached.back();
            last.Bottom = std::max(last.Bottom, rows.second);
            last.Left = std::min(last.Left, columns.first);
            last.Right = std::max(last.Right, columns.second);
        } else {
            reached.push_back({rows.first, rows.second, columns.first, columns.second});
        }
    }
    for (const TChangedArea& area : reached)
        reachedRows += area.Bottom - area.Top;
    // Past half the picture, one whole pass is cheaper than the bands.
    if (reachedRows > height / 2)
        reached = {{0, height, 0, width}};
    changedOut = TChangedRows::Nothing();
    for (const TChangedArea& area : reached)
        if (!ScaleRows(area, format, changedOut))
            return false;
    // Compared with planes that held nothing yet, everything is new.
    if (!keptValid)
        changedOut = {};
    FKeptValid = true;
    return true;
}

bool TImageScaler::ScaleKept(const TSourceImage& source, int width, int height, int pixelFormat,
                             TScaledPicture& picture) {
    if (!source.IsValid() || width <= 0 || height <= 0)
        return false;
    picture.Changed = {};
    if (source.Layout == TPixelLayout::Bgr0 &&
        (pixelFormat == AV_PIX_FMT_YUV420P || pixelFormat == AV_PIX_FMT_YUVJ420P)) {
        if (!ScaleToYuv420(source, width, height, pixelFormat == AV_PIX_FMT_YUVJ420P,
                           picture.Changed))
            return false;
    } else {
        // The kept planes no longer follow the source's pictures.
        FKeptValid = false;
        if (!SameShape(FScaled.get(), pixelFormat, width, height))
            FScaled.reset(NewFrame(pixelFormat, width, height));
        if (!FScaled ||
            !ScaleWhole(source, width, height, pixelFormat, FScaled->data, FScaled->linesize))
            return false;
    }
    for (int plane = 0; plane < 3; ++plane) {
        picture.Planes[plane] = FScaled->data[plane];
        picture.Strides[plane] = FScaled->linesize[plane];
    }
    return true;
}

bool TImageScaler::Scale(const TSourceImage& source, int width, int height, int pixelFormat,
                         std::uint8_t* const planes[], const int strides[]) {
    if (!source.IsValid() || width <= 0 || height <= 0)
        return false;
    // BT.601, limited range for YUV420P and full range for the JPEG form: the
    // colour spaces the encoders are told.
    if (source.Layout == TPixelLayout::Bgr0 &&
        (pixelFormat == AV_PIX_FMT_YUV420P || pixelFormat == AV_PIX_FMT_YUVJ420P)) {
        TScaledPicture picture;
        if (!ScaleKept(source, width, height, pixelFormat, picture))
            return false;
        std::uint8_t* target[4] = {planes[0], planes[1], planes[2], nullptr};
        int targetStrides[4] = {strides[0], strides[1], strides[2], 0};
        const std::uint8_t* kept[4] = {picture.Planes[0], picture.Planes[1], picture.Planes[2],
                                       nullptr};
        const int keptStrides[4] = {picture.Strides[0], picture.Strides[1], picture.Strides[2], 0};
        av_image_copy(target, targetStrides, kept, keptStrides,
                      static_cast<AVPixelFormat>(pixelFormat), width, height);
        return true;
    }
    // The kept planes no longer follow the source's pictures.
    FKeptValid = false;
    return ScaleWhole(source, width, height, pixelFormat, planes, strides);
}

bool TImageScaler::ScaleWhole(const TSourceImage& source, int width, int height, int pixelFormat,
                              std::uint8_t* const planes[], const int strides[]) {
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
