#include "export/ExportOutput.h"
#include "export/ExportStreams.h"
#include "platform/avifile/AvError.h"
#include "platform/avifile/Compressors.h"
#include "platform/avifile/MiniVFW.h"
#include "recovery/ByteSource.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

namespace vardocle {

namespace {

bool IsH264(std::uint32_t fourCC) {
    return fourCC == MakeFourCC('H', '2', '6', '4') || fourCC == MakeFourCC('h', '2', '6', '4') ||
           fourCC == MakeFourCC('X', '2', '6', '4') || fourCC == MakeFourCC('a', 'v', 'c', '1');
}

bool IsRaw(std::uint32_t fourCC) {
    return fourCC == 0 || fourCC == MakeFourCC('D', 'I', 'B', ' ');
}

AVCodecID RiffVideoCodec(std::uint32_t fourCC) {
    const AVCodecTag* const tags[] = {avformat_get_riff_video_tags(), nullptr};
    return av_codec_get_id(tags, fourCC);
}

// The parameter sets the format carries, or those of the first picture.
std::vector<std::uint8_t> StreamParameterSets(const TExportPlan& plan, const IByteSource& source) {
    if (!plan.CodecData.empty())
        return plan.CodecData;
    std::vector<std::uint8_t> first;
    if (!ReadChunk(source, plan.Samples.front().Offset, plan.Samples.front().Size, first))
        return {};
    return ParameterSets(first);
}

bool SetExtradata(AVCodecParameters* parameters, const std::vector<std::uint8_t>& bytes) {
    parameters->extradata =
        static_cast<std::uint8_t*>(av_mallocz(bytes.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!parameters->extradata)
        return false;
    std::memcpy(parameters->extradata, bytes.data(), bytes.size());
    parameters->extradata_size = static_cast<int>(bytes.size());
    return true;
}

struct TPacketDeleter {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
using TPacket = std::unique_ptr<AVPacket, TPacketDeleter>;

class TPictureStream : public TExportStream {
public:
    explicit TPictureStream(const TExportContext& context) : FContext(context) {}
    double NextSeconds() const override {
        const TExportPlan& plan = FContext.Plan;
        if (FNext >= plan.Samples.size())
            return kDone;
        return static_cast<double>(plan.Samples[FNext].Slot) * plan.Scale / plan.Rate;
    }

protected:
    AVRational TimeBase() const {
        return {static_cast<int>(FContext.Plan.Scale), static_cast<int>(FContext.Plan.Rate)};
    }
    const TExportContext FContext;
    std::size_t FNext = 0;
    int FStream = -1;
    std::vector<std::uint8_t> FBytes;
};

// Each picture keeps its bytes; its time and duration come from its slot and
// the empty slots after it.
class TPictureCopy : public TPictureStream {
public:
    using TPictureStream::TPictureStream;

    bool Open(std::string& Error) override {
        const TExportPlan& plan = FContext.Plan;
        AVStream* stream = FContext.Output.AddStream(TimeBase());
        if (!stream)
            return (Error = "out of memory", false);
        FStream = stream->index;
        FH264 = IsH264(plan.FourCC);
        AVCodecParameters* parameters = stream->codecpar;
        parameters->codec_type = AVMEDIA_TYPE_VIDEO;
        parameters->codec_id = FH264 ? AV_CODEC_ID_H264 : RiffVideoCodec(plan.FourCC);
        parameters->width = plan.Width;
        parameters->height = plan.Height;
        const auto& extradata = FH264 ? StreamParameterSets(plan, FContext.Source) : plan.CodecData;
        if (!extradata.empty() && !SetExtradata(parameters, extradata))
            return (Error = "out of memory", false);
        return true;
    }

    bool Step(std::string& Error) override {
        const TVideoSample& sample = FContext.Plan.Samples[FNext++];
        if (!ReadChunk(FContext.Source, sample.Offset, sample.Size, FBytes))
            return (Error = "the recording cannot be read", false);
        TPacket packet(av_packet_alloc());
        if (!packet || av_new_packet(packet.get(), static_cast<int>(FBytes.size())) < 0)
            return (Error = "out of memory", false);
        std::memcpy(packet->data, FBytes.data(), FBytes.size());
        packet->pts = packet->dts = sample.Slot;
        packet->duration = sample.Slots;
        // The other codecs a recording holds code every picture on its own.
        if (!FH264 || HasKeyPicture(FBytes))
            packet->flags |= AV_PKT_FLAG_KEY;
        return FContext.Output.Write(packet.get(), FStream, TimeBase(), Error);
    }

    bool Finish(std::string&) override { return true; }

private:
    bool FH264 = false;
};

struct TCodecDeleter {
    void operator()(AVCodecContext* codec) const { avcodec_free_context(&codec); }
};
struct TFrameDeleter {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct TScalerDeleter {
    void operator()(SwsContext* scaler) const { sws_freeContext(scaler); }
};

// Pictures decoded and encoded again as 8-bit 4:2:0 H.264. Halved colour
// planes need even sizes: an odd width or height gets one more column or row,
// a copy of the last one, rather than a scaled (blurred) picture.
class TPictureEncoder : public TPictureStream {
public:
    using TPictureStream::TPictureStream;

    bool Open(std::string& Error) override {
        const TExportPlan& plan = FContext.Plan;
        FRaw = IsRaw(plan.FourCC);
        if (FRaw && plan.BitCount != 24)
            return (Error = "its uncompressed pictures are not 24-bit", false);
        if (!FRaw && !OpenDecoder(Error))
            return false;
        const AVCodec* encoder = avcodec_find_encoder_by_name("libx264");
        if (!encoder)
            return (Error = "the H.264 encoder is not available", false);
        FEncoder.reset(avcodec_alloc_context3(encoder));
        FFrame.reset(av_frame_alloc());
        FDecoded.reset(av_frame_alloc());
        if (!FEncoder || !FFrame || !FDecoded)
            return (Error = "out of memory", false);
        FEncoder->width = (plan.Width + 1) & ~1;
        FEncoder->height = (plan.Height + 1) & ~1;
        FEncoder->pix_fmt = AV_PIX_FMT_YUV420P;
        FEncoder->time_base = TimeBase();
        FEncoder->framerate = av_inv_q(TimeBase());
        FEncoder->max_b_frames = 0;
        FEncoder->color_range = AVCOL_RANGE_MPEG;
        FEncoder->colorspace = AVCOL_SPC_SMPTE170M;
        FEncoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        FKeyEvery = 10 * std::max<std::int64_t>(1, plan.Rate / plan.Scale);
        AVDictionary* settings = nullptr;
        // The recording's own quality; no deadline here, so a slower preset
        // than the recorder's buys a smaller file.
        av_dict_set(&settings, "preset", "veryfast", 0);
        av_dict_set_int(&settings, "crf", H264RateFactor(kRecordingQuality), 0);
        const int opened = avcodec_open2(FEncoder.get(), encoder, &settings);
        av_dict_free(&settings);
        if (opened < 0)
            return (Error = "the H.264 encoder cannot be used: " + AvErrorText(opened), false);
        FFrame->format = FEncoder->pix_fmt;
        FFrame->width = FEncoder->width;
        FFrame->height = FEncoder->height;
        if (av_frame_get_buffer(FFrame.get(), 0) < 0)
            return (Error = "out of memory", false);
        AVStream* stream = FContext.Output.AddStream(TimeBase());
        if (!stream)
            return (Error = "out of memory", false);
        FStream = stream->index;
        avcodec_parameters_from_context(stream->codecpar, FEncoder.get());
        return true;
    }

    bool Step(std::string& Error) override {
        const TVideoSample& sample = FContext.Plan.Samples[FNext++];
        if (!ReadChunk(FContext.Source, sample.Offset, sample.Size, FBytes))
            return (Error = "the recording cannot be read", false);
        if (FRaw)
            return EncodeRaw(sample.Slot, Error);
        TPacket packet(av_packet_alloc());
        if (!packet || av_new_packet(packet.get(), static_cast<int>(FBytes.size())) < 0)
            return (Error = "out of memory", false);
        std::memcpy(packet->data, FBytes.data(), FBytes.size());
        packet->pts = packet->dts = sample.Slot;
        packet->flags |= AV_PKT_FLAG_KEY;
        if (const int sent = avcodec_send_packet(FDecoder.get(), packet.get()); sent < 0)
            return (Error = "a picture cannot be decoded: " + AvErrorText(sent), false);
        return DrainDecoder(Error);
    }

    bool Finish(std::string& Error) override {
        if (FDecoder) {
            avcodec_send_packet(FDecoder.get(), nullptr);
            if (!DrainDecoder(Error))
                return false;
        }
        if (const int sent = avcodec_send_frame(FEncoder.get(), nullptr); sent < 0)
            return (Error = "the encoder cannot be finished: " + AvErrorText(sent), false);
        return DrainEncoder(Error);
    }

private:
    bool OpenDecoder(std::string& Error) {
        const TExportPlan& plan = FContext.Plan;
        const AVCodec* decoder = avcodec_find_decoder(RiffVideoCodec(plan.FourCC));
        if (!decoder)
            return (Error = "its picture's codec is unknown", false);
        FDecoder.reset(avcodec_alloc_context3(decoder));
        if (!FDecoder)
            return (Error = "out of memory", false);
        FDecoder->width = plan.Width;
        FDecoder->height = plan.Height;
        FDecoder->codec_tag = plan.FourCC;
        // One thread: each picture comes out as its packet goes in.
        FDecoder->thread_count = 1;
        if (!plan.CodecData.empty()) {
            FDecoder->extradata = static_cast<std::uint8_t*>(
                av_mallocz(plan.CodecData.size() + AV_INPUT_BUFFER_PADDING_SIZE));
            if (!FDecoder->extradata)
                return (Error = "out of memory", false);
            std::memcpy(FDecoder->extradata, plan.CodecData.data(), plan.CodecData.size());
            FDecoder->extradata_size = static_cast<int>(plan.CodecData.size());
        }
        if (const int opened = avcodec_open2(FDecoder.get(), decoder, nullptr); opened < 0)
            return (Error = "its pictures cannot be decoded: " + AvErrorText(opened), false);
        return true;
    }

    bool DrainDecoder(std::string& Error) {
        for (;;) {
            const int received = avcodec_receive_frame(FDecoder.get(), FDecoded.get());
            if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
                return true;
            if (received < 0)
                return (Error = "a picture cannot be decoded: " + AvErrorText(received), false);
            const AVFrame& frame = *FDecoded;
            // The converter reads as many rows and columns as the format says.
            if (frame.width != FContext.Plan.Width || frame.height != FContext.Plan.Height) {
                av_frame_unref(FDecoded.get());
                return (Error = "a picture's size differs from the recording's", false);
            }
            const bool ok =
                Encode(frame.best_effort_timestamp, frame.data, frame.linesize,
                       static_cast<AVPixelFormat>(frame.format), frame.color_range, Error);
            av_frame_unref(FDecoded.get());
            if (!ok)
                return false;
        }
    }

    bool EncodeRaw(std::int64_t slot, std::string& Error) {
        const TExportPlan& plan = FContext.Plan;
        const int rowBytes = ((plan.Width * 24 + 31) & ~31) / 8;
        if (FBytes.size() < static_cast<std::size_t>(rowBytes) * plan.Height)
            return (Error = "an uncompressed picture is cut short", false);
        // Bottom-up rows: start at the last one and step backwards.
        std::uint8_t* const planes[4] = {
            FBytes.data() + static_cast<std::ptrdiff_t>(plan.Height - 1) * rowBytes, nullptr,
            nullptr, nullptr};
        const int strides[4] = {-rowBytes, 0, 0, 0};
        return Encode(slot, planes, strides, AV_PIX_FMT_BGR24, AVCOL_RANGE_JPEG, Error);
    }

    bool Encode(std::int64_t slot, const std::uint8_t* const* planes, const int* strides,
                AVPixelFormat format, AVColorRange range, std::string& Error) {
        const TExportPlan& plan = FContext.Plan;
        // The full-range "J" formats are the plain ones with the range told apart.
        bool fullRange = range == AVCOL_RANGE_JPEG;
        if (format == AV_PIX_FMT_YUVJ420P || format == AV_PIX_FMT_YUVJ422P ||
            format == AV_PIX_FMT_YUVJ444P) {
            format = format == AV_PIX_FMT_YUVJ420P   ? AV_PIX_FMT_YUV420P
                     : format == AV_PIX_FMT_YUVJ422P ? AV_PIX_FMT_YUV422P
                                                     : AV_PIX_FMT_YUV444P;
            fullRange = true;
        }
        FScaler.reset(sws_getCachedContext(FScaler.release(), plan.Width, plan.Height, format,
                                           plan.Width, plan.Height, AV_PIX_FMT_YUV420P, SWS_BICUBIC,
                                           nullptr, nullptr, nullptr));
        if (!FScaler)
            return (Error = "the pictures cannot be converted", false);
        const int* table = sws_getCoefficients(SWS_CS_ITU601);
        sws_setColorspaceDetails(FScaler.get(), table, fullRange ? 1 : 0, table, 0, 0, 1 << 16,
                                 1 << 16);
        if (av_frame_make_writable(FFrame.get()) < 0)
            return (Error = "out of memory", false);
        sws_scale(FScaler.get(), planes, strides, 0, plan.Height, FFrame->data, FFrame->linesize);
        PadToEven();
        FFrame->pts = slot;
        const bool key = FLastKey < 0 || slot - FLastKey >= FKeyEvery;
        FFrame->pict_type = key ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
        if (key)
            FLastKey = slot;
        if (const int sent = avcodec_send_frame(FEncoder.get(), FFrame.get()); sent < 0)
            return (Error = "a picture cannot be encoded: " + AvErrorText(sent), false);
        return DrainEncoder(Error);
    }

    // Repeats the last column and row into the one added for an odd size.
    void PadToEven() {
        const TExportPlan& plan = FContext.Plan;
        std::uint8_t* luma = FFrame->data[0];
        const int stride = FFrame->linesize[0];
        if (plan.Width % 2)
            for (int y = 0; y < plan.Height; ++y)
                luma[y * stride + plan.Width] = luma[y * stride + plan.Width - 1];
        if (plan.Height % 2)
            std::memcpy(luma + static_cast<std::ptrdiff_t>(plan.Height) * stride,
                        luma + static_cast<std::ptrdiff_t>(plan.Height - 1) * stride,
                        static_cast<std::size_t>(FFrame->width));
    }

    bool DrainEncoder(std::string& Error) {
        TPacket packet(av_packet_alloc());
        if (!packet)
            return (Error = "out of memory", false);
        for (;;) {
            const int received = avcodec_receive_packet(FEncoder.get(), packet.get());
            if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
                return true;
            if (received < 0)
                return (Error = "a picture cannot be encoded: " + AvErrorText(received), false);
            packet->dts = packet->pts;
            packet->duration = SlotsOf(packet->pts);
            if (!FContext.Output.Write(packet.get(), FStream, TimeBase(), Error))
                return false;
            av_packet_unref(packet.get());
        }
    }

    std::int64_t SlotsOf(std::int64_t slot) const {
        const auto& samples = FContext.Plan.Samples;
        const auto found = std::lower_bound(
            samples.begin(), samples.end(), slot,
            [](const TVideoSample& sample, std::int64_t s) { return sample.Slot < s; });
        return found != samples.end() && found->Slot == slot ? found->Slots : 1;
    }

    bool FRaw = false;
    std::unique_ptr<AVCodecContext, TCodecDeleter> FDecoder;
    std::unique_ptr<AVCodecContext, TCodecDeleter> FEncoder;
    std::unique_ptr<AVFrame, TFrameDeleter> FFrame;
    std::unique_ptr<AVFrame, TFrameDeleter> FDecoded;
    std::unique_ptr<SwsContext, TScalerDeleter> FScaler;
    std::int64_t FKeyEvery = 10;
    std::int64_t FLastKey = -1;
};

} // namespace

bool ReadChunk(const IByteSource& Source, std::int64_t Offset, std::uint32_t Size,
               std::vector<std::uint8_t>& Bytes) {
    Bytes.resize(Size);
    return Source.ReadAt(Offset, Bytes.data(), Size);
}

bool CanCopyPicture(const TExportPlan& Plan, const IByteSource& Source, bool ForBrowsers) {
    if (!ForBrowsers)
        return !IsRaw(Plan.FourCC) && RiffVideoCodec(Plan.FourCC) != AV_CODEC_ID_NONE;
    return IsH264(Plan.FourCC) && IsPlainColour(StreamParameterSets(Plan, Source));
}

std::unique_ptr<TExportStream> MakePictureCopy(const TExportContext& Context) {
    return std::make_unique<TPictureCopy>(Context);
}

std::unique_ptr<TExportStream> MakePictureEncoder(const TExportContext& Context) {
    return std::make_unique<TPictureEncoder>(Context);
}

} // namespace vardocle
