#include "engine/SoundStretch.h"

#include "platform/base/Errors.h"

#include <algorithm>
#include <climits>
#include <cmath>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

namespace vardocle {

namespace {

constexpr double kAudibleDifferenceSeconds = 0.020;

} // namespace

bool SoundNeedsStretch(std::int64_t SoundFrames, int SampleRate, double TargetSeconds) {
    if (SampleRate <= 0 || SoundFrames <= 0 || TargetSeconds <= 0)
        return false;
    const double seconds = static_cast<double>(SoundFrames) / SampleRate;
    return std::abs(seconds - TargetSeconds) > kAudibleDifferenceSeconds;
}

void TSoundStretch::TSwrFree::operator()(SwrContext* Context) const {
    swr_free(&Context);
}

TSoundStretch::TSoundStretch(int Channels, int SampleRate, int BitsPerSample,
                             std::int64_t InputFrames, std::int64_t OutputFrames)
    : FFrameBytes(Channels * BitsPerSample / 8), FSilence(BitsPerSample == 8 ? 0x80 : 0),
      FOutputFrames(OutputFrames) {
    if (!Supported(BitsPerSample) || Channels < 1 || SampleRate <= 0 || InputFrames <= 0 ||
        OutputFrames <= 0)
        throw Exception("Unsupported sound format");
    const AVSampleFormat format = BitsPerSample == 8 ? AV_SAMPLE_FMT_U8 : AV_SAMPLE_FMT_S16;
    AVChannelLayout layout;
    av_channel_layout_default(&layout, Channels);
    SwrContext* context = nullptr;
    const int made = swr_alloc_set_opts2(&context, &layout, format, SampleRate, &layout, format,
                                         SampleRate, 0, nullptr);
    av_channel_layout_uninit(&layout);
    FContext.reset(context);
    if (made < 0 || swr_init(context) < 0)
        throw Exception("Unsupported sound format");
    // The resampler spreads the difference evenly over the whole output, so
    // the pitch changes by the card's error (0.01 % or so), which no one hears.
    const std::int64_t distance = std::min<std::int64_t>(OutputFrames, INT_MAX);
    const std::int64_t delta =
        std::clamp<std::int64_t>(OutputFrames - InputFrames, -distance + 1, distance - 1);
    if (delta != 0 &&
        swr_set_compensation(context, static_cast<int>(delta), static_cast<int>(distance)) < 0)
        throw Exception("Unsupported sound format");
}

TSoundStretch::~TSoundStretch() = default;

void TSoundStretch::Append(const std::uint8_t* Data, std::int64_t Frames,
                           std::vector<std::uint8_t>& Out) {
    const std::int64_t take = std::min(Frames, FOutputFrames - FEmitted);
    if (take <= 0)
        return;
    Out.insert(Out.end(), Data, Data + take * FFrameBytes);
    FEmitted += take;
}

void TSoundStretch::Process(const std::uint8_t* Data, std::int64_t Frames,
                            std::vector<std::uint8_t>& Out) {
    while (Frames > 0) {
        const int chunk = static_cast<int>(std::min<std::int64_t>(Frames, 1 << 20));
        const int capacity = swr_get_out_samples(FContext.get(), chunk);
        FScratch.resize(static_cast<std::size_t>(std::max(capacity, 1)) * FFrameBytes);
        std::uint8_t* output = FScratch.data();
        const std::uint8_t* input = Data;
        const int converted = swr_convert(FContext.get(), &output, capacity, &input, chunk);
        if (converted > 0)
            Append(FScratch.data(), converted, Out);
        Data += static_cast<std::int64_t>(chunk) * FFrameBytes;
        Frames -= chunk;
    }
}

void TSoundStretch::Finish(std::vector<std::uint8_t>& Out) {
    // Drain what the resampler's filter still holds.
    for (;;) {
        const int capacity = std::max(swr_get_out_samples(FContext.get(), 0), 4096);
        FScratch.resize(static_cast<std::size_t>(capacity) * FFrameBytes);
        std::uint8_t* output = FScratch.data();
        const int converted = swr_convert(FContext.get(), &output, capacity, nullptr, 0);
        if (converted <= 0)
            break;
        Append(FScratch.data(), converted, Out);
    }
    if (FEmitted < FOutputFrames) {
        Out.insert(Out.end(), static_cast<std::size_t>((FOutputFrames - FEmitted) * FFrameBytes),
                   FSilence);
        FEmitted = FOutputFrames;
    }
}

} // namespace vardocle
