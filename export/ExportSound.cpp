#include "export/ExportOutput.h"
#include "export/ExportStreams.h"
#include "platform/avifile/AvError.h"
#include "recovery/ByteSource.h"

#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libswresample/swresample.h>
}

namespace vardocle {

namespace {

// Speech and system sounds at this rate are clean in AAC; stereo always, so
// that a mono recording plays from both sides.
constexpr std::int64_t kSoundBitRate = 128000;

class TSoundStream : public TExportStream {
public:
    explicit TSoundStream(const TExportContext& context) : FContext(context) {}
    double NextSeconds() const override {
        if (FNext >= FContext.Plan.Sound.size())
            return kDone;
        return static_cast<double>(FSamplesRead) / FContext.Plan.SampleRate;
    }

protected:
    AVRational TimeBase() const { return {1, FContext.Plan.SampleRate}; }
    AVSampleFormat SourceFormat() const {
        return FContext.Plan.BitsPerSample == 8 ? AV_SAMPLE_FMT_U8 : AV_SAMPLE_FMT_S16;
    }
    // The next chunk's bytes in FBytes, whole sample frames only.
    bool ReadNext(std::string& Error) {
        const TSoundChunk& chunk = FContext.Plan.Sound[FNext++];
        if (!ReadChunk(FContext.Source, chunk.Offset, chunk.Size, FBytes))
            return (Error = "the recording cannot be read", false);
        FBytes.resize(FBytes.size() / FContext.Plan.BlockAlign * FContext.Plan.BlockAlign);
        return true;
    }
    int FramesRead() const { return static_cast<int>(FBytes.size() / FContext.Plan.BlockAlign); }

    const TExportContext FContext;
    std::size_t FNext = 0;
    std::int64_t FSamplesRead = 0;
    int FStream = -1;
    std::vector<std::uint8_t> FBytes;
};

// The PCM chunks as they are (for Matroska).
class TSoundCopy : public TSoundStream {
public:
    using TSoundStream::TSoundStream;

    bool Open(std::string& Error) override {
        const TExportPlan& plan = FContext.Plan;
        AVStream* stream = FContext.Output.AddStream(TimeBase());
        if (!stream)
            return (Error = "out of memory", false);
        FStream = stream->index;
        AVCodecParameters* parameters = stream->codecpar;
        parameters->codec_type = AVMEDIA_TYPE_AUDIO;
        parameters->codec_id = plan.BitsPerSample == 8 ? AV_CODEC_ID_PCM_U8 : AV_CODEC_ID_PCM_S16LE;
        parameters->sample_rate = plan.SampleRate;
        av_channel_layout_default(&parameters->ch_layout, plan.Channels);
        parameters->bits_per_coded_sample = plan.BitsPerSample;
        parameters->block_align = plan.BlockAlign;
        parameters->format = SourceFormat();
        return true;
    }

    bool Step(std::string& Error) override {
        if (!ReadNext(Error))
            return false;
        if (FBytes.empty())
            return true;
        AVPacket* packet = av_packet_alloc();
        if (!packet || av_new_packet(packet, static_cast<int>(FBytes.size())) < 0) {
            av_packet_free(&packet);
            return (Error = "out of memory", false);
        }
        std::memcpy(packet->data, FBytes.data(), FBytes.size());
        packet->pts = packet->dts = FSamplesRead;
        packet->duration = FramesRead();
        packet->flags |= AV_PKT_FLAG_KEY;
        FSamplesRead += FramesRead();
        const bool written = FContext.Output.Write(packet, FStream, TimeBase(), Error);
        av_packet_free(&packet);
        return written;
    }

    bool Finish(std::string&) override { return true; }
};

struct TEncoderDeleter {
    void operator()(AVCodecContext* codec) const { avcodec_free_context(&codec); }
};
struct TResamplerDeleter {
    void operator()(SwrContext* resampler) const { swr_free(&resampler); }
};
struct TFifoDeleter {
    void operator()(AVAudioFifo* fifo) const { av_audio_fifo_free(fifo); }
};
struct TFrameDeleter {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};

// PCM to AAC. Every frame's time is the count of samples before it, so the
// sound stays where the recording had it; the encoder's first packet starts
// one frame early (its priming), which the file's edit list hides.
class TSoundEncoder : public TSoundStream {
public:
    using TSoundStream::TSoundStream;

    bool Open(std::string& Error) override {
        const TExportPlan& plan = FContext.Plan;
        const AVCodec* encoder = avcodec_find_encoder_by_name("aac");
        if (!encoder)
            return (Error = "the AAC encoder is not available", false);
        FEncoder.reset(avcodec_alloc_context3(encoder));
        FFrame.reset(av_frame_alloc());
        if (!FEncoder || !FFrame)
            return (Error = "out of memory", false);
        FEncoder->sample_fmt = AV_SAMPLE_FMT_FLTP;
        FEncoder->sample_rate = plan.SampleRate;
        FEncoder->bit_rate = kSoundBitRate;
        FEncoder->time_base = TimeBase();
        FEncoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        av_channel_layout_default(&FEncoder->ch_layout, 2);
        if (const int opened = avcodec_open2(FEncoder.get(), encoder, nullptr); opened < 0)
            return (Error = "the AAC encoder cannot be used: " + AvErrorText(opened), false);
        AVChannelLayout source{};
        av_channel_layout_default(&source, plan.Channels);
        SwrContext* resampler = nullptr;
        const int made = swr_alloc_set_opts2(&resampler, &FEncoder->ch_layout, FEncoder->sample_fmt,
                                             plan.SampleRate, &source, SourceFormat(),
                                             plan.SampleRate, 0, nullptr);
        av_channel_layout_uninit(&source);
        FResampler.reset(resampler);
        if (made < 0 || swr_init(resampler) < 0)
            return (Error = "the sound cannot be converted", false);
        FFifo.reset(av_audio_fifo_alloc(FEncoder->sample_fmt, 2, FEncoder->frame_size * 4));
        if (!FFifo)
            return (Error = "out of memory", false);
        AVStream* stream = FContext.Output.AddStream(TimeBase());
        if (!stream)
            return (Error = "out of memory", false);
        FStream = stream->index;
        avcodec_parameters_from_context(stream->codecpar, FEncoder.get());
        return true;
    }

    bool Step(std::string& Error) override {
        if (!ReadNext(Error))
            return false;
        const int frames = FramesRead();
        if (frames == 0)
            return true;
        FSamplesRead += frames;
        // The rates are equal, so the converter holds nothing back.
        std::vector<float> left(static_cast<std::size_t>(frames));
        std::vector<float> right(static_cast<std::size_t>(frames));
        std::uint8_t* planes[2] = {reinterpret_cast<std::uint8_t*>(left.data()),
                                   reinterpret_cast<std::uint8_t*>(right.data())};
        const std::uint8_t* input[1] = {FBytes.data()};
        const int converted = swr_convert(FResampler.get(), planes, frames, input, frames);
        if (converted < 0)
            return (Error = "the sound cannot be converted", false);
        if (av_audio_fifo_write(FFifo.get(), reinterpret_cast<void**>(planes), converted) <
            converted)
            return (Error = "out of memory", false);
        while (av_audio_fifo_size(FFifo.get()) >= FEncoder->frame_size)
            if (!EncodeFrame(FEncoder->frame_size, Error))
                return false;
        return true;
    }

    bool Finish(std::string& Error) override {
        // The encoder takes a short last frame.
        if (const int left = av_audio_fifo_size(FFifo.get()); left > 0 && !EncodeFrame(left, Error))
            return false;
        if (const int sent = avcodec_send_frame(FEncoder.get(), nullptr); sent < 0)
            return (Error = "the sound encoder cannot be finished: " + AvErrorText(sent), false);
        return Drain(Error);
    }

private:
    bool EncodeFrame(int samples, std::string& Error) {
        av_frame_unref(FFrame.get());
        FFrame->nb_samples = samples;
        FFrame->format = FEncoder->sample_fmt;
        FFrame->sample_rate = FEncoder->sample_rate;
        av_channel_layout_copy(&FFrame->ch_layout, &FEncoder->ch_layout);
        if (av_frame_get_buffer(FFrame.get(), 0) < 0)
            return (Error = "out of memory", false);
        av_audio_fifo_read(FFifo.get(), reinterpret_cast<void**>(FFrame->data), samples);
        FFrame->pts = FSamplesSent;
        FSamplesSent += samples;
        if (const int sent = avcodec_send_frame(FEncoder.get(), FFrame.get()); sent < 0)
            return (Error = "the sound cannot be encoded: " + AvErrorText(sent), false);
        return Drain(Error);
    }

    bool Drain(std::string& Error) {
        AVPacket* packet = av_packet_alloc();
        if (!packet)
            return (Error = "out of memory", false);
        bool ok = true;
        for (;;) {
            const int received = avcodec_receive_packet(FEncoder.get(), packet);
            if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
                break;
            if (received < 0) {
                Error = "the sound cannot be encoded: " + AvErrorText(received);
                ok = false;
                break;
            }
            ok = FContext.Output.Write(packet, FStream, TimeBase(), Error);
            av_packet_unref(packet);
            if (!ok)
                break;
        }
        av_packet_free(&packet);
        return ok;
    }

    std::unique_ptr<AVCodecContext, TEncoderDeleter> FEncoder;
    std::unique_ptr<SwrContext, TResamplerDeleter> FResampler;
    std::unique_ptr<AVAudioFifo, TFifoDeleter> FFifo;
    std::unique_ptr<AVFrame, TFrameDeleter> FFrame;
    std::int64_t FSamplesSent = 0;
};

} // namespace

std::unique_ptr<TExportStream> MakeSoundEncoder(const TExportContext& Context) {
    return std::make_unique<TSoundEncoder>(Context);
}

std::unique_ptr<TExportStream> MakeSoundCopy(const TExportContext& Context) {
    return std::make_unique<TSoundCopy>(Context);
}

} // namespace vardocle
