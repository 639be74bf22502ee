#pragma once
// Stretches or shrinks PCM sound to a chosen number of frames, block by block,
// without changing its pitch noticeably: a sound card whose clock runs a
// little fast or slow gives a few samples more or fewer per minute than the
// wall clock, and the sound must last exactly as long as its video.
#include <cstdint>
#include <memory>
#include <vector>

struct SwrContext;

namespace vardocle {

// Whether a sound of SoundFrames at SampleRate differs from TargetSeconds by
// more than 20 ms (below that, nobody hears or sees a difference).
bool SoundNeedsStretch(std::int64_t SoundFrames, int SampleRate, double TargetSeconds);

class TSoundStretch {
public:
    // 8-bit (unsigned) or 16-bit (signed) interleaved PCM; raises Exception
    // for other sample sizes or when the resampler cannot be made.
    TSoundStretch(int Channels, int SampleRate, int BitsPerSample, std::int64_t InputFrames,
                  std::int64_t OutputFrames);
    ~TSoundStretch();
    TSoundStretch(const TSoundStretch&) = delete;
    TSoundStretch& operator=(const TSoundStretch&) = delete;

    static bool Supported(int BitsPerSample) { return BitsPerSample == 8 || BitsPerSample == 16; }

    // Takes Frames whole frames and appends the stretched frames ready so far to Out.
    void Process(const std::uint8_t* Data, std::int64_t Frames, std::vector<std::uint8_t>& Out);
    // After the last block: appends the rest, so that exactly OutputFrames
    // came out in all (the end is padded with silence or cut when the
    // resampler's own count differs by a few frames).
    void Finish(std::vector<std::uint8_t>& Out);

    int FrameBytes() const { return FFrameBytes; }

private:
    void Append(const std::uint8_t* Data, std::int64_t Frames, std::vector<std::uint8_t>& Out);

    struct TSwrFree {
        void operator()(SwrContext* Context) const;
    };
    std::unique_ptr<SwrContext, TSwrFree> FContext;
    int FFrameBytes;
    std::uint8_t FSilence; // the byte value of silence (0x80 for 8-bit)
    std::int64_t FOutputFrames;
    std::int64_t FEmitted = 0;
    std::vector<std::uint8_t> FScratch;
};

} // namespace vardocle
