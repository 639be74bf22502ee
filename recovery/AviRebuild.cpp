#include "recovery/AviRebuild.h"

#include "platform/avifile/AviMuxer.h"
#include "platform/avifile/MiniVFW.h"
#include "platform/avifile/StreamFormats.h"

#include <cstdlib>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/mem.h>
}

namespace vardocle {

namespace {

// Far beyond the biggest frame a recording makes (5000 x 5000 uncompressed is
// 75 MB); a larger chunk is damage, and is not read into memory.
constexpr std::uint32_t kMaxChunkBytes = 256u << 20;

struct TPacketFree {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
using TPacket = std::unique_ptr<AVPacket, TPacketFree>;

// What becomes of one stream of the old file in the new one.
struct TStreamPlan {
    int Slot = -1; // the new file's stream, -1 when the stream is left out
    bool Video = false;
    bool H264 = false;
    std::uint32_t BlockAlign = 1; // bytes per sound sample
    std::uint8_t Silence = 0;     // the byte of silent sound (unsigned 8-bit sound's is 0x80)
    std::int64_t Next = 0;        // the next frame slot or sound sample
};

std::string FourCCText(std::uint32_t code) {
    std::string text;
    for (int i = 0; i < 4; ++i) {
        const char c = static_cast<char>((code >> (8 * i)) & 0xFF);
        text += (c >= 0x20 && c <= 0x7E) ? c : '?';
    }
    return text;
}

bool SetExtradata(AVCodecParameters* parameters, const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return true;
    parameters->extradata =
        static_cast<std::uint8_t*>(av_mallocz(size + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!parameters->extradata)
        return false;
    std::memcpy(parameters->extradata, data, size);
    parameters->extradata_size = static_cast<int>(size);
    return true;
}

bool DescribeVideo(const TAviStreamHeader& stream, AVCodecParameters* parameters, bool& h264,
                   std::string& error) {
    BITMAPINFOHEADER header{};
    if (stream.Format.size() < sizeof header) {
        error = "its video format is missing";
        return false;
    }
    std::memcpy(&header, stream.Format.data(), sizeof header);
    if (header.biWidth <= 0 || header.biHeight == 0 || header.biWidth > 65535 ||
        std::abs(header.biHeight) > 65535) {
        error = "its picture size is invalid";
        return false;
    }
    if (header.biCompression == 0) {
        // Uncompressed frames stay bottom-up, exactly as they were stored.
        if (header.biBitCount != 24 || header.biHeight < 0) {
            error = "its uncompressed frames are not 24-bit bottom-up pictures";
            return false;
        }
        DescribeRawVideo(parameters, header.biWidth, header.biHeight);
        return true;
    }
    const AVCodecTag* const tags[] = {avformat_get_riff_video_tags(), nullptr};
    const AVCodecID codec = av_codec_get_id(tags, header.biCompression);
    if (codec == AV_CODEC_ID_NONE) {
        error = "its video codec \"" + FourCCText(header.biCompression) + "\" is unknown";
        return false;
    }
    parameters->codec_type = AVMEDIA_TYPE_VIDEO;
    parameters->codec_id = codec;
    parameters->codec_tag = header.biCompression;
    parameters->width = header.biWidth;
    parameters->height = std::abs(header.biHeight);
    parameters->bits_per_coded_sample = header.biBitCount;
    h264 = codec == AV_CODEC_ID_H264;
    // Codec set-up data follows the 40-byte header.
    const std::size_t headerSize = std::max<std::size_t>(
        sizeof header, std::min<std::size_t>(header.biSize, stream.Format.size()));
    if (!SetExtradata(parameters, stream.Format.data() + headerSize,
                      stream.Format.size() - headerSize)) {
        error = "Out of memory";
        return false;
    }
    return true;
}

bool DescribeSound(const TAviStreamHeader& stream, AVCodecParameters* parameters,
                   std::uint32_t& blockAlign, std::string& error) {
    WAVEFORMATEX format{};
    if (stream.Format.size() < 16) {
        error = "its sound format is missing";
        return false;
    }
    std::memcpy(&format, stream.Format.data(), 16);
    const AVCodecID codec = format.wBitsPerSample == 8    ? AV_CODEC_ID_PCM_U8
                            : format.wBitsPerSample == 16 ? AV_CODEC_ID_PCM_S16LE
                            : format.wBitsPerSample == 24 ? AV_CODEC_ID_PCM_S24LE
                            : format.wBitsPerSample == 32 ? AV_CODEC_ID_PCM_S32LE
                                                          : AV_CODEC_ID_NONE;
    if (format.wFormatTag != WAVE_FORMAT_PCM || codec == AV_CODEC_ID_NONE ||
        format.nChannels == 0 || format.nChannels > 64 || format.nSamplesPerSec == 0 ||
        format.nBlockAlign != format.nChannels * format.wBitsPerSample / 8) {
        error = "its sound is not PCM sound";
        return false;
    }
    parameters->codec_type = AVMEDIA_TYPE_AUDIO;
    parameters->codec_id = codec;
    parameters->codec_tag = WAVE_FORMAT_PCM;
    parameters->sample_rate = static_cast<int>(format.nSamplesPerSec);
    av_channel_layout_default(&parameters->ch_layout, format.nChannels);
    parameters->bits_per_coded_sample = format.wBitsPerSample;
    parameters->block_align = format.nBlockAlign;
    parameters->bit_rate = static_cast<std::int64_t>(format.nAvgBytesPerSec) * 8;
    blockAlign = format.nBlockAlign;
    return true;
}

void SetProgress(std::atomic<int>* progress, int from, int to, std::size_t done, std::size_t all) {
    if (progress && all > 0)
        progress->store(from + static_cast<int>(static_cast<std::int64_t>(to - from) *
                                                static_cast<std::int64_t>(done) /
                                                static_cast<std::int64_t>(all)));
}

} // namespace

std::int64_t ScannedVideoMs(const TAviScan& Scan) {
    for (std::size_t i = 0; i < Scan.Streams.size(); ++i) {
        const TAviStreamHeader& stream = Scan.Streams[i];
        if (stream.Type != streamtypeVIDEO || stream.Rate == 0 || stream.Scale == 0)
            continue;
        const std::int64_t slots = Scan.ChunkCount(static_cast<int>(i));
        return slots * 1000 * stream.Scale / stream.Rate;
    }
    return 0;
}

bool H264HasIdr(const std::uint8_t* Data, std::size_t Size) {
    for (std::size_t i = 0; i + 3 < Size; ++i) {
        if (Data[i] != 0 || Data[i + 1] != 0 || Data[i + 2] != 1)
            continue;
        const int type = Data[i + 3] & 0x1F;
        if (type == 5)
            return true;
        if (type == 1)
            return false; // the picture's first slice is not an IDR one
        i += 2;
    }
    return false;
}

bool RebuildAvi(const IByteSource& Source, const TAviScan& Scan, const std::string& OutputPath,
                TRebuildResult& Result, std::string& Error, std::atomic<int>* Progress,
                int ProgressFrom, int ProgressTo) {
    Result = TRebuildResult{};
    auto muxer = TAviMuxer::Create(OutputPath, Error);
    if (!muxer)
        return false;
    std::vector<TStreamPlan> plans(Scan.Streams.size());
    bool haveVideo = false;
    for (std::size_t i = 0; i < Scan.Streams.size(); ++i) {
        const TAviStreamHeader& stream = Scan.Streams[i];
        TStreamPlan& plan = plans[i];
        if (stream.Type == streamtypeVIDEO && !haveVideo) {
            if (stream.Rate == 0 || stream.Scale == 0) {
                Error = "its header gives no frame rate";
                return false;
            }
            plan.Slot = muxer->AddStream(
                AVRational{static_cast<int>(std::min<std::uint32_t>(stream.Scale, INT32_MAX)),
                           static_cast<int>(std::min<std::uint32_t>(stream.Rate, INT32_MAX))});
            plan.Video = true;
            if (!DescribeVideo(stream, muxer->Parameters(plan.Slot), plan.H264, Error))
                return false;
            haveVideo = true;
        } else if (stream.Type == streamtypeAUDIO && Scan.ChunkCount(static_cast<int>(i)) > 0) {
            std::uint32_t rate = 0;
            if (stream.Format.size() >= 8)
                std::memcpy(&rate, stream.Format.data() + 4, 4);
            plan.Slot =
                muxer->AddStream(AVRational{1, static_cast<int>(std::max<std::uint32_t>(
                                                   1, std::min<std::uint32_t>(rate, INT32_MAX)))});
            if (!DescribeSound(stream, muxer->Parameters(plan.Slot), plan.BlockAlign, Error))
                return false;
            plan.Silence = muxer->Parameters(plan.Slot)->codec_id == AV_CODEC_ID_PCM_U8 ? 0x80 : 0;
        }
    }
    if (!haveVideo) {
        Error = "it holds no video stream";
        return false;
    }

    // Repeated frames after the last picture have no later packet for the
    // writer to fill up to, so they are written as empty packets themselves.
    std::size_t lastPicture = 0;
    for (std::size_t n = 0; n < Scan.Chunks.size(); ++n)
        if (Scan.Chunks[n].Size > 0 && Scan.Chunks[n].Stream < plans.size() &&
            plans[Scan.Chunks[n].Stream].Video)
            lastPicture = n;
    for (std::size_t n = 0; n < Scan.Chunks.size(); ++n) {
        const TAviChunk& chunk = Scan.Chunks[n];
        if (chunk.Stream >= plans.size() || plans[chunk.Stream].Slot < 0)
            continue;
        TStreamPlan& plan = plans[chunk.Stream];
        const std::int64_t position = plan.Next;
        std::uint32_t size = chunk.Size;
        if (plan.Video) {
            ++plan.Next;
            ++Result.Slots;
            Result.LostSlots += chunk.Lost ? 1 : 0;
            // A frame lost in damage repeats the one before; the pictures
            // after it are kept as they are, as a player would show them.
            size = chunk.Lost ? 0 : size;
            if (size == 0 && n < lastPicture)
                continue; // a repeated frame: the writer fills the slot itself
        } else {
            // Sound lost in damage becomes silence of its length.
            if (chunk.Lost)
                size = chunk.LostBytes / plan.BlockAlign * plan.BlockAlign;
            plan.Next += size / plan.BlockAlign;
            Result.SoundBytes += size;
            if (size < plan.BlockAlign)
                continue;
        }
        if (size > kMaxChunkBytes) {
            Error =
                "a chunk at byte " + std::to_string(chunk.Offset) + " is too large to be a frame";
            return false;
        }
        TPacket packet(av_packet_alloc());
        if (!packet || av_new_packet(packet.get(), static_cast<int>(size)) < 0) {
            Error = "Out of memory";
            return false;
        }
        if (chunk.Lost) {
            std::memset(packet->data, plan.Silence, size);
        } else if (!Source.ReadAt(chunk.Offset, packet->data, size)) {
            Error = "it cannot be read at byte " + std::to_string(chunk.Offset);
            return false;
        }
        packet->pts = packet->dts = position;
        if (plan.Video) {
            packet->duration = 1;
            Result.Frames += size > 0 ? 1 : 0;
            if (!plan.H264 || H264HasIdr(packet->data, size))
                packet->flags |= AV_PKT_FLAG_KEY;
        } else {
            packet->duration = size / plan.BlockAlign;
            packet->flags |= AV_PKT_FLAG_KEY;
        }
        if (!muxer->WritePacket(plan.Slot, packet.get(), Error))
            return false;
        if (n % 64 == 0)
            SetProgress(Progress, ProgressFrom, ProgressTo, n, Scan.Chunks.size());
    }
    if (Result.Frames == 0) {
        Error = "it holds no frame";
        return false;
    }
    if (!muxer->Finish(Error))
        return false;
    Result.VideoMs = ScannedVideoMs(Scan);
    SetProgress(Progress, ProgressFrom, ProgressTo, 1, 1);
    return true;
}

} // namespace vardocle
