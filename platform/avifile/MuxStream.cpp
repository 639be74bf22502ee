#include "platform/avifile/MuxStream.h"

#include "platform/avifile/AviMuxer.h"
#include "platform/avifile/StreamFormats.h"

#include <cstdlib>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
}

namespace vardocle {

namespace {

AVCodecID PcmCodec(int bits) {
    switch (bits) {
    case 8:
        return AV_CODEC_ID_PCM_U8;
    case 16:
        return AV_CODEC_ID_PCM_S16LE;
    case 24:
        return AV_CODEC_ID_PCM_S24LE;
    case 32:
        return AV_CODEC_ID_PCM_S32LE;
    default:
        return AV_CODEC_ID_NONE;
    }
}

} // namespace

TMuxStream::TMuxStream(std::shared_ptr<TAviMuxer> muxer, const AVISTREAMINFOA& info)
    : FMuxer(std::move(muxer)), FInfo(info) {
    const AVRational timeBase{static_cast<int>(info.dwScale ? info.dwScale : 1),
                              static_cast<int>(info.dwRate ? info.dwRate : 1)};
    FSlot = FMuxer->AddStream(timeBase);
}

HRESULT TMuxStream::Info(AVISTREAMINFOA& info) const {
    info = FInfo;
    return AVIERR_OK;
}

HRESULT TMuxStream::SetFormat(std::int32_t, const void* format, std::int32_t size) {
    AVCodecParameters* parameters = FMuxer->Parameters(FSlot);
    if (FInfo.fccType == streamtypeVIDEO) {
        BITMAPINFOHEADER header;
        if (!ReadBitmapFormat(format, size, header))
            return Fail("Only uncompressed 24-bit frames can be stored as they are");
        DescribeRawVideo(parameters, header.biWidth, std::abs(header.biHeight));
    } else if (FInfo.fccType == streamtypeAUDIO) {
        if (size < 16)
            return Fail("Invalid sound format");
        WAVEFORMATEX wave{};
        std::memcpy(&wave, format, std::min<std::size_t>(size, sizeof wave));
        const AVCodecID codec = PcmCodec(wave.wBitsPerSample);
        if (wave.wFormatTag != WAVE_FORMAT_PCM || codec == AV_CODEC_ID_NONE ||
            wave.nChannels == 0 || wave.nSamplesPerSec == 0)
            return Fail("Only PCM sound can be added");
        parameters->codec_type = AVMEDIA_TYPE_AUDIO;
        parameters->codec_id = codec;
        parameters->codec_tag = WAVE_FORMAT_PCM;
        parameters->sample_rate = static_cast<int>(wave.nSamplesPerSec);
        av_channel_layout_default(&parameters->ch_layout, wave.nChannels);
        parameters->block_align = wave.nBlockAlign;
        parameters->bits_per_coded_sample = wave.wBitsPerSample;
        parameters->bit_rate = static_cast<std::int64_t>(wave.nAvgBytesPerSec) * 8;
    } else {
        return Fail("Unknown stream type");
    }
    FFormatSet = true;
    return AVIERR_OK;
}

HRESULT TMuxStream::WriteSamples(std::int64_t start, std::int64_t samples, const void* buffer,
                                 std::int32_t bytes, std::uint32_t flags) {
    if (!FFormatSet)
        return Fail("The stream has no format");
    if (start < FNextStart)
        return Fail("Samples can only be appended");
    std::string error;
    if (!WriteBytes(*FMuxer, FSlot, start, samples, buffer, bytes, flags & AVIIF_KEYFRAME, error))
        return Fail(error);
    FNextStart = start + samples;
    return AVIERR_OK;
}

HRESULT TMuxStream::Write(std::int32_t start, std::int32_t samples, const void* buffer,
                          std::int32_t bytes, std::uint32_t flags) {
    if (samples <= 0 || bytes < 0)
        return Fail("Nothing to write");
    return WriteSamples(start, samples, buffer, bytes, flags);
}

} // namespace vardocle
