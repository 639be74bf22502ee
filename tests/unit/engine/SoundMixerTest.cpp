#include "engine/SoundMixer.h"
#include "engine/SilenceWatch.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <random>
#include <vector>

using namespace vardocle;

namespace {

constexpr std::uint32_t kRate = 44100;
constexpr std::int64_t kSecond = 1'000'000'000;
constexpr std::int64_t kStartNs = 5 * kSecond; // the recording's start on the monotonic clock

// A sound device on a clock of its own: Speed frames of its sound pass per
// wall-clock frame, blocks of 10 ms (by its clock) arrive once captured, and
// their capture times jitter by a few milliseconds. It plays clicks at given
// wall-clock times into one channel.
class TFakeDevice {
public:
    TFakeDevice(double speed, int channel, std::int64_t firstNs, unsigned jitterSeed)
        : FSpeed(speed), FChannel(channel), FFirstNs(firstNs), FRandom(jitterSeed) {}

    void ClickAt(std::int64_t ns) { FClicks.push_back(ns); }
    void Tone(float amplitude, double hertz) {
        FToneAmplitude = amplitude;
        FToneHertz = hertz;
    }
    void StopBetween(std::int64_t fromNs, std::int64_t toNs) {
        FSilentFrom = fromNs;
        FSilentTo = toNs;
    }

    // Hands the mixer every block captured by NowNs.
    void DeliverUntil(TSoundMixer& mixer, int source, std::int64_t nowNs) {
        while (true) {
            const std::int64_t firstNs = WallNs(FSent);
            const std::int64_t endNs = WallNs(FSent + kBlock);
            if (endNs > nowNs)
                return;
            std::vector<std::int16_t> frames(2 * kBlock, 0);
            for (std::int64_t i = 0; i < kBlock; ++i)
                Fill(frames, i, WallNs(FSent + i));
            const bool stalled = firstNs >= FSilentFrom && firstNs < FSilentTo;
            if (!stalled) {
                std::uniform_int_distribution<std::int64_t> jitter(-3'000'000, 3'000'000);
                mixer.Push(source, frames.data(), kBlock, firstNs + jitter(FRandom));
            }
            FSent += kBlock;
        }
    }

private:
    static constexpr std::int64_t kBlock = kRate / 100;

    std::int64_t WallNs(std::int64_t frame) const {
        return FFirstNs +
               static_cast<std::int64_t>(static_cast<double>(frame) * 1e9 / (kRate * FSpeed));
    }
    void Fill(std::vector<std::int16_t>& frames, std::int64_t i, std::int64_t ns) const {
        const double frameNs = 1e9 / (kRate * FSpeed);
        float value = 0;
        if (FToneAmplitude > 0)
            value = FToneAmplitude *
                    static_cast<float>(
                        std::sin(2 * M_PI * FToneHertz * static_cast<double>(ns - kStartNs) / 1e9));
        for (const std::int64_t click : FClicks)
            if (ns <= click && click < ns + static_cast<std::int64_t>(frameNs))
                value = 0.9F;
        frames[2 * i + FChannel] = static_cast<std::int16_t>(std::lround(value * 32767));
    }

    double FSpeed;
    int FChannel;
    std::int64_t FFirstNs;
    std::mt19937 FRandom;
    std::vector<std::int64_t> FClicks;
    float FToneAmplitude = 0;
    double FToneHertz = 0;
    std::int64_t FSilentFrom = 0, FSilentTo = 0;
    std::int64_t FSent = 0;
};

// Runs the mixer the way a recording does: the sources deliver as time
// passes and the track is mixed every 100 ms up to 300 ms ago. Look is
// shown each mixed piece with the track frame it starts at.
template <typename TLook>
void Record(TSoundMixer& mixer, std::vector<TFakeDevice*> devices, std::int64_t seconds,
            TLook look) {
    std::vector<std::int16_t> piece;
    for (std::int64_t now = kStartNs; now <= kStartNs + seconds * kSecond; now += kSecond / 10) {
        for (std::size_t d = 0; d < devices.size(); ++d)
            devices[d]->DeliverUntil(mixer, static_cast<int>(d), now);
        piece.clear();
        const std::int64_t at = mixer.Position();
        mixer.Mix(now - 3 * kSecond / 10, piece);
        look(at, piece);
    }
}

// The track frame of the loudest sample of one channel inside [from, to).
struct TPeakFinder {
    int Channel;
    std::int64_t From, To;
    std::int64_t Where = -1;
    int Loudest = 0;
    void Look(std::int64_t at, const std::vector<std::int16_t>& piece) {
        for (std::size_t n = 0; n < piece.size() / 2; ++n) {
            const std::int64_t frame = at + static_cast<std::int64_t>(n);
            const int value = std::abs(piece[2 * n + Channel]);
            if (frame >= From && frame < To && value > Loudest) {
                Loudest = value;
                Where = frame;
            }
        }
    }
};

double MsFromFrame(std::int64_t frame, std::int64_t ns) {
    return (static_cast<double>(frame) / kRate - static_cast<double>(ns - kStartNs) / 1e9) * 1000;
}

} // namespace

// Two device clocks 0.1 % apart (3.6 s an hour) must still give clicks made
// at the same moment within 20 ms of each other and of their true time, an
// hour in; each stays on its own channel.
TEST(SoundMixer, TwoDriftingClocksStayTogetherForAnHour) {
    TSoundMixer mixer(2, kRate, kStartNs);
    TFakeDevice fast(1.0005, 0, kStartNs, 1);
    TFakeDevice slow(0.9995, 1, kStartNs + 40'000'000, 2);
    const std::vector<std::int64_t> clicks = {kStartNs + 30 * kSecond, kStartNs + 1800 * kSecond,
                                              kStartNs + 3590 * kSecond};
    for (const std::int64_t click : clicks) {
        fast.ClickAt(click);
        slow.ClickAt(click);
    }
    std::vector<TPeakFinder> left, right;
    for (const std::int64_t click : clicks) {
        const auto frame =
            static_cast<std::int64_t>(static_cast<double>(click - kStartNs) * kRate / 1e9);
        left.push_back({0, frame - kRate / 2, frame + kRate / 2});
        right.push_back({1, frame - kRate / 2, frame + kRate / 2});
    }
    int crossTalk = 0;
    Record(mixer, {&fast, &slow}, 3600, [&](std::int64_t at, const std::vector<std::int16_t>& p) {
        for (std::size_t i = 0; i < clicks.size(); ++i) {
            left[i].Look(at, p);
            right[i].Look(at, p);
        }
        for (std::size_t n = 0; n < p.size() / 2 && at < kRate * 20; ++n)
            crossTalk = std::max(crossTalk, std::abs(p[2 * n + 1]));
    });
    for (std::size_t i = 0; i < clicks.size(); ++i) {
        SCOPED_TRACE(i);
        ASSERT_GT(left[i].Loudest, 10000);
        ASSERT_GT(right[i].Loudest, 10000);
        EXPECT_LT(std::abs(MsFromFrame(left[i].Where, clicks[i])), 20.0);
        EXPECT_LT(std::abs(MsFromFrame(right[i].Where, clicks[i])), 20.0);
        EXPECT_LT(std::abs(MsFromFrame(left[i].Where, clicks[i]) -
                           MsFromFrame(right[i].Where, clicks[i])),
                  20.0);
    }
    // The left device's click never leaks into the right channel.
    EXPECT_EQ(crossTalk, 0);
}

// A device whose first block comes a second late starts after a second of
// silence, in step; one that captured before the start loses what came
// before it; one that stops is silence while the other goes on, and when it
// comes back its sound is at its own time again.
TEST(SoundMixer, LateEarlyAndInterruptedSourcesKeepTheirPlace) {
    TSoundMixer mixer(2, kRate, kStartNs);
    TFakeDevice late(1.0, 0, kStartNs + kSecond, 3);
    TFakeDevice early(1.0, 1, kStartNs - kSecond / 2, 4);
    late.ClickAt(kStartNs + 1500 * 1'000'000);
    early.ClickAt(kStartNs - kSecond / 4); // before the start: must not appear
    early.ClickAt(kStartNs + 2 * kSecond);
    early.StopBetween(kStartNs + 4 * kSecond, kStartNs + 7 * kSecond);
    early.ClickAt(kStartNs + 8 * kSecond);
    late.ClickAt(kStartNs + 6 * kSecond); // the other source goes on meanwhile
    TPeakFinder lateClick{0, 0, 3 * kRate};
    TPeakFinder beforeStart{1, 0, kRate};
    TPeakFinder earlyClick{1, kRate, 3 * kRate};
    TPeakFinder duringStop{0, 5 * kRate, 7 * kRate};
    TPeakFinder afterReturn{1, 7 * kRate, 9 * kRate};
    std::int64_t mixed = 0;
    Record(mixer, {&late, &early}, 10, [&](std::int64_t at, const std::vector<std::int16_t>& p) {
        for (TPeakFinder* finder :
             {&lateClick, &beforeStart, &earlyClick, &duringStop, &afterReturn})
            finder->Look(at, p);
        mixed = at + static_cast<std::int64_t>(p.size() / 2);
    });
    EXPECT_LT(std::abs(MsFromFrame(lateClick.Where, kStartNs + 1500 * 1'000'000)), 10.0);
    EXPECT_LT(beforeStart.Loudest, 1000);
    EXPECT_LT(std::abs(MsFromFrame(earlyClick.Where, kStartNs + 2 * kSecond)), 10.0);
    EXPECT_LT(std::abs(MsFromFrame(duringStop.Where, kStartNs + 6 * kSecond)), 10.0);
    EXPECT_LT(std::abs(MsFromFrame(afterReturn.Where, kStartNs + 8 * kSecond)), 10.0);
    // The track has no gap: every frame up to 300 ms before the end was mixed.
    EXPECT_EQ(mixed, 10 * kRate - 3 * kRate / 10);
}

// Two tones at half scale each, in phase, add up to full scale: the sum is
// bent below it instead of wrapping around or clipping, quiet sound passes
// unchanged, and a source's level scales it.
TEST(SoundMixer, LoudSourcesAreLimitedSoftlyAndLevelsApply) {
    TSoundMixer mixer(2, kRate, kStartNs);
    TFakeDevice first(1.0, 0, kStartNs, 5), second(1.0, 0, kStartNs, 6);
    first.Tone(0.5F, 1000);
    second.Tone(0.5F, 1000);
    int loudest = 0;
    bool wrapped = false;
    Record(mixer, {&first, &second}, 2, [&](std::int64_t, const std::vector<std::int16_t>& p) {
        for (std::size_t n = 0; n + 1 < p.size() / 2; n += 1) {
            loudest = std::max(loudest, std::abs(static_cast<int>(p[2 * n])));
            // A wrapped sum jumps from near full scale to the other sign.
            if (std::abs(p[2 * n] - p[2 * n + 2]) > 20000)
                wrapped = true;
        }
    });
    EXPECT_FALSE(wrapped);
    EXPECT_LT(loudest, 32767);
    EXPECT_GT(loudest, 29000); // limited, not merely turned down
    EXPECT_FLOAT_EQ(SoftLimit(0.3F), 0.3F);
    EXPECT_FLOAT_EQ(SoftLimit(-0.7F), -0.7F);
    EXPECT_LE(SoftLimit(4.0F), 1.0F);
    EXPECT_GT(SoftLimit(0.75F), SoftLimit(0.74F)); // still rising past the knee

    TSoundMixer halved(1, kRate, kStartNs);
    halved.SetLevel(0, 0.5F);
    TFakeDevice tone(1.0, 0, kStartNs, 7);
    tone.Tone(0.6F, 440);
    int halvedLoudest = 0;
    Record(halved, {&tone}, 1, [&](std::int64_t, const std::vector<std::int16_t>& p) {
        for (std::size_t n = 0; n < p.size(); n += 2)
            halvedLoudest = std::max(halvedLoudest, std::abs(static_cast<int>(p[n])));
    });
    EXPECT_NEAR(halvedLoudest, 0.3 * 32767, 200);
}

// A muted microphone is told once, after the whole time; one sample of sound
// anywhere in it, even the faintest, means the input is live.
TEST(SilenceWatch, TellsOnceOnlyOfSilenceToTheLastBit) {
    int told = 0;
    TSilenceWatch muted(kRate, 10, [&] { ++told; });
    const std::vector<std::int16_t> silence(2 * kRate / 10, 0);
    for (int block = 0; block < 99; ++block)
        muted.Take(silence.data(), kRate / 10);
    EXPECT_EQ(told, 0);
    for (int block = 0; block < 20; ++block)
        muted.Take(silence.data(), kRate / 10);
    EXPECT_EQ(told, 1);

    int toldLive = 0;
    TSilenceWatch live(kRate, 10, [&] { ++toldLive; });
    std::vector<std::int16_t> faint = silence;
    faint[2 * 2000 + 1] = 1; // one right-channel sample
    live.Take(faint.data(), kRate / 10);
    for (int block = 0; block < 200; ++block)
        live.Take(silence.data(), kRate / 10);
    EXPECT_EQ(toldLive, 0);
}
