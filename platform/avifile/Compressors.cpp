#include "platform/avifile/Compressors.h"

#include "platform/avifile/MiniVFW.h"

#include <algorithm>
#include <array>
#include <atomic>

namespace vardocle {

namespace {

const std::array<TCodecDescription, 4> kCodecs = {{
    {TCodecKind::H264, "h264", "libx264", MakeFourCC('H', '2', '6', '4')},
    {TCodecKind::Mjpeg, "mjpeg", "mjpeg", MakeFourCC('M', 'J', 'P', 'G')},
    {TCodecKind::Lossless, "lossless", "ffv1", MakeFourCC('F', 'F', 'V', '1')},
    {TCodecKind::Raw, "raw", "", MakeFourCC('D', 'I', 'B', ' ')},
}};

std::atomic<TCodecKind> gConfigured{TCodecKind::H264};

} // namespace

const TCodecDescription& DescribeCodec(TCodecKind kind) {
    for (const auto& codec : kCodecs)
        if (codec.Kind == kind)
            return codec;
    return kCodecs[0];
}

std::optional<TCodecKind> CodecFromName(std::string_view name) {
    for (const auto& codec : kCodecs)
        if (codec.Name == name)
            return codec.Kind;
    return std::nullopt;
}

void SetConfiguredCodec(TCodecKind kind) {
    gConfigured = kind;
}

TCodecKind ConfiguredCodec() {
    return gConfigured;
}

std::optional<TCodecKind> ResolveCompressor(std::uint32_t fccHandler) {
    if (fccHandler == MakeFourCC('I', 'V', '4', '1'))
        return ConfiguredCodec();
    for (const auto& codec : kCodecs)
        if (codec.FourCC == fccHandler)
            return codec.Kind;
    return std::nullopt;
}

TPictureSize RecordedSize(TCodecKind kind, TPictureSize requested) {
    if (kind != TCodecKind::H264)
        return requested;
    return {requested.Width + requested.Width % 2, requested.Height + requested.Height % 2};
}

int H264RateFactor(std::uint32_t quality) {
    const int crf = 51 - static_cast<int>(quality * 28 / kRecordingQuality);
    return std::clamp(crf, 0, 51);
}

std::string CodecNames() {
    std::string names;
    for (const auto& codec : kCodecs) {
        if (!names.empty())
            names += ", ";
        names += codec.Name;
    }
    return names;
}

} // namespace vardocle
