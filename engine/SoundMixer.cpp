#include "engine/SoundMixer.h"

#include <algorithm>
#include <cmath>

namespace vardocle {

namespace {

// A block further than this from where its capture time says it belongs is
// not a drifting clock but a gap (the device stalled, or was unplugged and
// came back): it is placed again by its capture time.
constexpr double kReplaceSeconds = 0.25;
// A placement error is worked off over about this long, by speeding up or
// slowing down the source's resampling a little.
constexpr double kSteerSeconds = 5.0;
// The most the steering changes a source's speed: 0.3 % is about 5 cents of
// pitch, which nobody hears, and works off 3 ms of error a second.
constexpr double kMaxSteer = 0.003;
// No sound card's clock is this far off; a measured ratio outside it comes
// from capture times that are not to be trusted.
constexpr double kMaxRatioError = 0.05;
// The measured ratio is trusted once the capture times span this long.
constexpr double kRatioAfterSeconds = 2.0;
// How much of each new placement error enters the smoothed one: capture
// times jitter by milliseconds from block to block.
constexpr double kErrorSmoothing = 0.1;
constexpr float kFullScale = 32768.0F;
constexpr float kKnee = 0.7F;

} // namespace

float SoftLimit(float Sample) {
    const float size = std::abs(Sample);
    if (size <= kKnee)
        return Sample;
    const float bent = kKnee + (1.0F - kKnee) * std::tanh((size - kKnee) / (1.0F - kKnee));
    return std::copysign(bent, Sample);
}

TSoundMixer::TSoundMixer(int Sources, std::uint32_t SampleRate, std::int64_t StartNs)
    : FRate(SampleRate), FStartNs(StartNs), FSources(static_cast<std::size_t>(Sources)) {}

void TSoundMixer::SetLevel(int Source, float Level) {
    const std::lock_guard<std::mutex> lock(FLock);
    FSources.at(static_cast<std::size_t>(Source)).Level = std::max(0.0F, Level);
}

double TSoundMixer::PlacementError(int Source) const {
    const std::lock_guard<std::mutex> lock(FLock);
    return FSources.at(static_cast<std::size_t>(Source)).Error;
}

std::int64_t TSoundMixer::Position() const {
    const std::lock_guard<std::mutex> lock(FLock);
    return FPosition;
}

double TSoundMixer::TrackFrame(std::int64_t Ns) const {
    return static_cast<double>(Ns - FStartNs) * FRate / 1e9;
}

void TSoundMixer::Append(TSource& Source, const std::int16_t* Frames, std::size_t Count) {
    for (std::size_t i = 0; i < Count; ++i) {
        Source.Left.push_back(static_cast<float>(Frames[2 * i]) / kFullScale);
        Source.Right.push_back(static_cast<float>(Frames[2 * i + 1]) / kFullScale);
    }
}

void TSoundMixer::Compact(TSource& Source) {
    if (Source.Head < 16384 || Source.Head < Source.Left.size() / 2)
        return;
    const auto head = static_cast<std::ptrdiff_t>(Source.Head);
    Source.Left.erase(Source.Left.begin(), Source.Left.begin() + head);
    Source.Right.erase(Source.Right.begin(), Source.Right.begin() + head);
    Source.Head = 0;
}

// The block's first frame goes where its capture time says on the track:
// silence before it when that lies ahead of what was mixed, its beginning cut
// when that was mixed already (or lies before the start).
void TSoundMixer::Place(TSource& Source, const std::int16_t* Frames, std::size_t Count,
                        std::int64_t CaptureNs) {
    const double ahead = TrackFrame(CaptureNs) - static_cast<double>(FPosition);
    Source.Left.clear();
    Source.Right.clear();
    Source.Head = 0;
    Source.Phase = 0;
    std::size_t skip = 0;
    if (ahead >= 0) {
        const auto silence = static_cast<std::size_t>(std::llround(ahead));
        Source.Left.assign(silence, 0.0F);
        Source.Right.assign(silence, 0.0F);
    } else {
        skip = static_cast<std::size_t>(std::llround(-ahead));
        if (skip >= Count)
            return;
    }
    Append(Source, Frames + 2 * skip, Count - skip);
    Source.Placed = true;
    Source.AnchorNs = CaptureNs;
    Source.Received = static_cast<std::int64_t>(Count);
    Source.Error = 0;
    Source.Step = Source.Ratio;
}

void TSoundMixer::Steer(TSource& Source, std::int64_t CaptureNs) {
    const double elapsed = TrackFrame(CaptureNs) - TrackFrame(Source.AnchorNs);
    if (elapsed > kRatioAfterSeconds * FRate) {
        const double ratio = static_cast<double>(Source.Received) / elapsed;
        if (std::abs(ratio - 1.0) < kMaxRatioError)
            Source.Ratio = ratio;
    }
    const double steer = std::clamp(Source.Error / (kSteerSeconds * FRate), -kMaxSteer, kMaxSteer);
    Source.Step = Source.Ratio * (1.0 + steer);
}

void TSoundMixer::Push(int Source, const std::int16_t* Frames, std::size_t Count,
                       std::int64_t CaptureNs) {
    const std::lock_guard<std::mutex> lock(FLock);
    TSource& source = FSources.at(static_cast<std::size_t>(Source));
    if (Count == 0)
        return;
    if (!source.Placed) {
        Place(source, Frames, Count, CaptureNs);
        return;
    }
    // Where this block's first frame will be mixed, at the measured speed,
    // against where its capture time puts it.
    const double queued = static_cast<double>(source.Left.size() - source.Head) - source.Phase;
    const double mixedAt = static_cast<double>(FPosition) + queued / source.Ratio;
    const double error = mixedAt - TrackFrame(CaptureNs);
    if (std::abs(error) > kReplaceSeconds * FRate) {
        // A gap in the source is silence; sound that would come too late
        // loses its beginning. Either way the clock is measured anew.
        const double frames = std::abs(error) * source.Ratio;
        std::size_t skip = 0;
        if (error < 0) {
            const auto silence = static_cast<std::size_t>(std::llround(frames));
            source.Left.insert(source.Left.end(), silence, 0.0F);
            source.Right.insert(source.Right.end(), silence, 0.0F);
        } else {
            skip = std::min(Count, static_cast<std::size_t>(std::llround(frames)));
        }
        Append(source, Frames + 2 * skip, Count - skip);
        source.AnchorNs = CaptureNs;
        source.Received = static_cast<std::int64_t>(Count);
        source.Error = 0;
        source.Step = source.Ratio;
        return;
    }
    source.Error += kErrorSmoothing * (error - source.Error);
    Steer(source, CaptureNs);
    Append(source, Frames, Count);
    source.Received += static_cast<std::int64_t>(Count);
}

std::size_t TSoundMixer::Mix(std::int64_t UntilNs, std::vector<std::int16_t>& Out) {
    const std::lock_guard<std::mutex> lock(FLock);
    const auto until = static_cast<std::int64_t>(std::floor(TrackFrame(UntilNs)));
    if (until <= FPosition)
        return 0;
    const auto frames = static_cast<std::size_t>(until - FPosition);
    std::vector<float> sum(2 * frames, 0.0F);
    for (TSource& source : FSources) {
        for (std::size_t n = 0; n < frames && source.Placed; ++n) {
            const std::size_t at = source.Head;
            if (at + 1 >= source.Left.size()) {
                // Its sound ends here: silence until a block places it again.
                source.Placed = false;
                source.Left.clear();
                source.Right.clear();
                source.Head = 0;
                break;
            }
            const auto phase = static_cast<float>(source.Phase);
            const float left = source.Left[at] + phase * (source.Left[at + 1] - source.Left[at]);
            const float right =
                source.Right[at] + phase * (source.Right[at + 1] - source.Right[at]);
            sum[2 * n] += left * source.Level;
            sum[2 * n + 1] += right * source.Level;
            source.Phase += source.Step;
            const double whole = std::floor(source.Phase);
            source.Head += static_cast<std::size_t>(whole);
            source.Phase -= whole;
        }
        Compact(source);
    }
    Out.reserve(Out.size() + sum.size());
    for (const float sample : sum) {
        const float limited = SoftLimit(sample) * (kFullScale - 1.0F);
        Out.push_back(static_cast<std::int16_t>(std::lround(limited)));
    }
    FPosition = until;
    return frames;
}

} // namespace vardocle
