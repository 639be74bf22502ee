// The H.264 compressor on a still, detailed screen: once the first picture is
// in, pictures said to be unchanged must cost next to nothing from the very
// next one on, not after the rate control has refined the whole screen.
#include "platform/avifile/H264Encoder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace vardocle {
namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

// Text-like detail: grain over stripes, costly to code finely.
struct TStillPicture {
    explicit TStillPicture(unsigned grainStart = 7)
        : Luma(static_cast<std::size_t>(kWidth) * kHeight),
          Chroma(static_cast<std::size_t>(kWidth) * kHeight / 4, 128) {
        std::mt19937 random(grainStart);
        std::uniform_int_distribution<int> grain(0, 60);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                Luma[static_cast<std::size_t>(y) * kWidth + x] =
                    static_cast<std::uint8_t>(((x / 3 + y / 7) % 2 ? 170 : 40) + grain(random));
    }
    std::vector<std::uint8_t> Luma;
    std::vector<std::uint8_t> Chroma;
};

TH264Settings Settings() {
    TH264Settings settings;
    settings.Width = kWidth;
    settings.Height = kHeight;
    settings.TimeBaseDen = 2;
    settings.CoarsestStep = 23;
    settings.FinestStep = 6;
    settings.KeyFrameEvery = 120;
    return settings;
}

TEST(H264Encoder, AStillScreenCostsOnePictureNotARefinementAfterIt) {
    TH264Encoder encoder;
    std::string error;
    ASSERT_TRUE(encoder.Open(Settings(), error)) << error;

    const TStillPicture still;
    const std::uint8_t* planes[3] = {still.Luma.data(), still.Chroma.data(), still.Chroma.data()};
    const int strides[3] = {kWidth, kWidth / 2, kWidth / 2};
    TH264Packet packet;
    ASSERT_TRUE(encoder.Encode(planes, strides, 0, true, TChangedRows{}, packet, error)) << error;
    ASSERT_TRUE(packet.Key);
    const int keySize = packet.Size;

    // The same picture again, said to be unchanged: every macroblock is to
    // be kept. A first picture coded coarser than the rate control's later
    // steps made each of these recode the whole screen at most of its size.
    for (int slot = 1; slot <= 4; ++slot) {
        ASSERT_TRUE(
            encoder.Encode(planes, strides, slot, false, TChangedRows::Nothing(), packet, error))
            << error;
        EXPECT_FALSE(packet.Key);
        EXPECT_LT(packet.Size, keySize / 100) << "picture " << slot << " of a still screen";
        // The picture right after the first skips every macroblock without
        // looking at it. Later ones may be looked at again where the rate
        // control picks a finer step, and still come out skipped.
        if (slot == 1) {
            EXPECT_EQ(encoder.MapCount().Flagged, (kWidth / 16) * (kHeight / 16));
            EXPECT_EQ(encoder.MapCount().Kept, encoder.MapCount().Flagged);
        }
    }
    // A whole grab of the same screen says everything may have changed: the
    // comparison with the picture before finds nothing did.
    const TH264MapCount before = encoder.MapCount();
    ASSERT_TRUE(encoder.Encode(planes, strides, 5, false, TChangedRows{}, packet, error)) << error;
    EXPECT_LT(packet.Size, keySize / 100) << "a whole grab of a still screen";
    EXPECT_EQ(encoder.MapCount().Flagged - before.Flagged, (kWidth / 16) * (kHeight / 16));
    EXPECT_EQ(encoder.MapCount().Kept - before.Kept, (kWidth / 16) * (kHeight / 16));
    EXPECT_FALSE(encoder.WouldRefine());
}

// A change of the whole screen is coded at the coarse step (the encoder must
// let a picture have a step other than its constant one), and once it has
// gone by, a small change brings the whole screen back to the fine step,
// after which unchanged macroblocks are kept again.
TEST(H264Encoder, AWholeScreenChangeIsCodedCoarseAndTheScreenIsRefinedAfterIt) {
    TH264Encoder encoder;
    std::string error;
    ASSERT_TRUE(encoder.Open(Settings(), error)) << error;
    const int strides[3] = {kWidth, kWidth / 2, kWidth / 2};
    TH264Packet packet;
    const TStillPicture first(7);
    const std::uint8_t* firstPlanes[3] = {first.Luma.data(), first.Chroma.data(),
                                          first.Chroma.data()};
    ASSERT_TRUE(encoder.Encode(firstPlanes, strides, 0, true, TChangedRows{}, packet, error));
    const int fineSize = packet.Size;

    const TStillPicture other(8);
    const std::uint8_t* otherPlanes[3] = {other.Luma.data(), other.Chroma.data(),
                                          other.Chroma.data()};
    ASSERT_TRUE(encoder.Encode(otherPlanes, strides, 1, false, TChangedRows{}, packet, error));
    // The grain is new in every macroblock, so this costs about as much as a
    // key frame at the same step: at the fine step it would.
    EXPECT_LT(packet.Size, fineSize / 2) << "the whole-screen change was not coded coarsely";
    EXPECT_TRUE(encoder.WouldRefine());

    TChangedRows typed = TChangedRows::Nothing();
    typed.AddArea(32, 32, 16, 16);
    ASSERT_TRUE(encoder.Encode(otherPlanes, strides, 2, false, typed, packet, error));
    EXPECT_GT(packet.Size, fineSize / 10) << "the coarse screen was not refined";
    const TH264MapCount before = encoder.MapCount();
    ASSERT_TRUE(encoder.Encode(otherPlanes, strides, 3, false, typed, packet, error));
    EXPECT_EQ(encoder.MapCount().Flagged - before.Flagged, (kWidth / 16) * (kHeight / 16) - 1);
    EXPECT_EQ(encoder.MapCount().Kept - before.Kept, encoder.MapCount().Flagged - before.Flagged);
}

} // namespace
} // namespace vardocle
