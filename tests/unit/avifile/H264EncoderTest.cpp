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
    TStillPicture()
        : Luma(static_cast<std::size_t>(kWidth) * kHeight),
          Chroma(static_cast<std::size_t>(kWidth) * kHeight / 4, 128) {
        std::mt19937 random(7);
        std::uniform_int_distribution<int> grain(0, 60);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                Luma[static_cast<std::size_t>(y) * kWidth + x] =
                    static_cast<std::uint8_t>(((x / 3 + y / 7) % 2 ? 170 : 40) + grain(random));
    }
    std::vector<std::uint8_t> Luma;
    std::vector<std::uint8_t> Chroma;
};

TEST(H264Encoder, AStillScreenCostsOnePictureNotARefinementAfterIt) {
    TH264Settings settings;
    settings.Width = kWidth;
    settings.Height = kHeight;
    settings.TimeBaseDen = 2;
    settings.RateFactor = 23;
    settings.FinestStep = 6;
    settings.KeyFrameEvery = 120;
    TH264Encoder encoder;
    std::string error;
    ASSERT_TRUE(encoder.Open(settings, error)) << error;

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
}

} // namespace
} // namespace vardocle
