#pragma once
// Mixes several sound sources into the one track the recording keeps (what
// the computer plays and the microphone, say). Each source runs on its own
// device clock and hands over blocks with the time their first frame was
// captured; the mixer places every source on the recording's clock by those
// times, follows the small difference between each device's clock and the
// wall clock by resampling (never by dropping or repeating), and sums the
// sources with a soft limit instead of letting loud sound wrap around.
//
// It knows nothing of where the blocks come from: Push is called on the
// sources' own threads, Mix on the thread that writes the track. Frames are
// interleaved 16-bit stereo at the track's rate.
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace vardocle {

class TSoundMixer {
public:
    // Sources sources, each at full level; track time 0 is StartNs on the
    // monotonic clock the capture times are given in.
    TSoundMixer(int Sources, std::uint32_t SampleRate, std::int64_t StartNs);

    // A level of 1 keeps a source as it was captured; 0 silences it.
    void SetLevel(int Source, float Level);
    // Frames interleaved stereo; CaptureNs is when the first of them was
    // captured. Sound from before the start is dropped.
    void Push(int Source, const std::int16_t* Frames, std::size_t Count, std::int64_t CaptureNs);
    // Appends the mixed track up to UntilNs (interleaved stereo) to Out and
    // returns the frames appended. A source that has not delivered that far
    // is silent from where its sound ends (one that stopped, or one later
    // than the caller waits); a later block of it is placed by its own
    // capture time again.
    std::size_t Mix(std::int64_t UntilNs, std::vector<std::int16_t>& Out);

    // How much later than captured a source's newest block will be mixed, in
    // track frames (smoothed; negative: earlier).
    double PlacementError(int Source) const;
    // The frames mixed so far.
    std::int64_t Position() const;

private:
    struct TSource {
        float Level = 1.0F;
        std::vector<float> Left, Right; // captured frames, from Head on not yet mixed
        std::size_t Head = 0;
        double Phase = 0;    // the next mixed frame lies this far past Head
        double Step = 1.0;   // source frames per track frame, as steered now
        double Ratio = 1.0;  // source frames per track frame, as measured
        bool Placed = false; // the queue's frames have a place on the track
        std::int64_t AnchorNs = 0;
        std::int64_t Received = 0; // frames since AnchorNs
        double Error = 0;
    };

    double TrackFrame(std::int64_t Ns) const;
    void Place(TSource& Source, const std::int16_t* Frames, std::size_t Count,
               std::int64_t CaptureNs);
    void Steer(TSource& Source, std::int64_t CaptureNs);
    static void Append(TSource& Source, const std::int16_t* Frames, std::size_t Count);
    static void Compact(TSource& Source);

    const std::uint32_t FRate;
    const std::int64_t FStartNs;
    mutable std::mutex FLock;
    std::vector<TSource> FSources;
    std::int64_t FPosition = 0; // track frames mixed
};

// The soft limit the mixer applies to a summed sample (full scale is 1): a
// sample up to 0.7 passes unchanged, louder ones bend smoothly towards full
// scale and never reach it, so no sum wraps around or clips hard.
float SoftLimit(float Sample);

} // namespace vardocle
