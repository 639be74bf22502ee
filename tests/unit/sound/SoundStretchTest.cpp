#include "engine/SoundStretch.h"

#include "platform/base/Errors.h"
#include "tests/support/SoundAnalysis.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

using namespace vardocle;

namespace {

// Interleaved 16-bit stereo sine.
std::vector<std::uint8_t> Sine16(std::int64_t frames, double frequency, int rate) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(frames) * 4);
    for (std::int64_t i = 0; i < frames; ++i) {
        const auto value = static_cast<std::int16_t>(
            std::lround(12000 * std::sin(2 * M_PI * frequency * i / rate)));
        std::memcpy(&bytes[static_cast<std::size_t>(i) * 4], &value, 2);
        std::memcpy(&bytes[static_cast<std::size_t>(i) * 4 + 2], &value, 2);
    }
    return bytes;
}

std::vector<std::int16_t> AsSamples(const std::vector<std::uint8_t>& bytes) {
    std::vector<std::int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

} // namespace

TEST(SoundStretch, OnlyDifferencesAboveTwentyMillisecondsNeedStretching) {
    EXPECT_FALSE(SoundNeedsStretch(441000, 44100, 10.020));
    EXPECT_TRUE(SoundNeedsStretch(441000, 44100, 10.0201));
    EXPECT_TRUE(SoundNeedsStretch(441000, 44100, 9.9799));
    EXPECT_FALSE(SoundNeedsStretch(0, 44100, 10.0)) << "no sound, nothing to stretch";
    EXPECT_FALSE(SoundNeedsStretch(441000, 44100, 0.0)) << "no target";
}

TEST(SoundStretch, ShrinksToTheExactLengthAndRaisesThePitchByTheSameShare) {
    // A card 0.1 % fast: 30 s of its sound took 29.97 s of wall-clock time.
    constexpr int kRate = 44100;
    const std::int64_t in = 30LL * kRate;
    const std::int64_t out = in - in / 1000;
    const auto sound = Sine16(in, 1000.0, kRate);

    TSoundStretch whole(2, kRate, 16, in, out);
    std::vector<std::uint8_t> once;
    whole.Process(sound.data(), in, once);
    whole.Finish(once);
    ASSERT_EQ(static_cast<std::int64_t>(once.size()), out * 4);
    EXPECT_NEAR(test::DominantFrequency(AsSamples(once), 2, kRate), 1000.0 * in / out, 0.3);

    // In blocks, as a merge copies it, the result is the same length and sound.
    TSoundStretch blocks(2, kRate, 16, in, out);
    std::vector<std::uint8_t> pieces;
    for (std::int64_t at = 0; at < in; at += 4410)
        blocks.Process(sound.data() + at * 4, std::min<std::int64_t>(4410, in - at), pieces);
    blocks.Finish(pieces);
    ASSERT_EQ(pieces.size(), once.size());
    EXPECT_EQ(pieces, once);

    // The level is kept: no clipping, no fading.
    EXPECT_NEAR(test::PeakLevel(AsSamples(once)), 12000, 300);
}

TEST(SoundStretch, StretchesEightBitMonoAroundItsMiddleValue) {
    constexpr int kRate = 22050;
    const std::int64_t in = 5LL * kRate;
    const std::int64_t out = in + in / 200; // half a percent longer
    std::vector<std::uint8_t> sound(static_cast<std::size_t>(in));
    for (std::int64_t i = 0; i < in; ++i)
        sound[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(
            128 + std::lround(60 * std::sin(2 * M_PI * 500.0 * i / kRate)));
    TSoundStretch stretch(1, kRate, 8, in, out);
    std::vector<std::uint8_t> result;
    stretch.Process(sound.data(), in, result);
    stretch.Finish(result);
    ASSERT_EQ(static_cast<std::int64_t>(result.size()), out);
    std::vector<std::int16_t> samples(result.size());
    for (std::size_t i = 0; i < result.size(); ++i)
        samples[i] = static_cast<std::int16_t>((result[i] - 128) * 256);
    EXPECT_NEAR(test::DominantFrequency(samples, 1, kRate), 500.0 * in / out, 0.5);
    // 8-bit sound centres on 128; read as signed it would turn into noise.
    double sum = 0;
    for (const std::uint8_t value : result)
        sum += value;
    EXPECT_NEAR(sum / double(result.size()), 128.0, 1.0);
}

TEST(SoundStretch, RefusesSampleSizesItCannotStretch) {
    EXPECT_FALSE(TSoundStretch::Supported(24));
    EXPECT_THROW(TSoundStretch(2, 44100, 24, 100, 101), Exception);
    EXPECT_THROW(TSoundStretch(2, 44100, 16, 0, 101), Exception);
}
