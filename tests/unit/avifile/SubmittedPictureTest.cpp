// The copy of the last picture handed to the encoder tells exactly which
// macroblocks a picture of unknown change left as they were: a difference in
// one pixel of any plane, in the cut-off last row and column too, counts.
#include "platform/avifile/SubmittedPicture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace vardocle {
namespace {

constexpr std::uint8_t kConstant = 1;
// No multiple of 16 either way: the last column and row of macroblocks are
// cut off (7 x 5 macroblocks).
constexpr int kWidth = 100;
constexpr int kHeight = 70;
constexpr int kColumns = 7;

struct TPicture {
    TPicture() {
        // Padded rows, as the scaler's planes have.
        for (int plane = 0; plane < 3; ++plane) {
            Strides[plane] = (plane == 0 ? kWidth : kWidth / 2) + 12;
            const int rows = plane == 0 ? kHeight : kHeight / 2;
            Data[plane].resize(static_cast<std::size_t>(Strides[plane]) * rows);
            for (std::size_t i = 0; i < Data[plane].size(); ++i)
                Data[plane][i] = static_cast<std::uint8_t>(i * 7 + plane);
        }
    }
    const std::uint8_t* const* Planes() {
        for (int plane = 0; plane < 3; ++plane)
            Pointers[plane] = Data[plane].data();
        return Pointers;
    }
    std::uint8_t& At(int plane, int x, int y) {
        return Data[plane][static_cast<std::size_t>(y) * Strides[plane] + x];
    }
    std::vector<std::uint8_t> Data[3];
    const std::uint8_t* Pointers[3] = {};
    int Strides[3] = {};
};

std::vector<int> Changed(const std::vector<std::uint8_t>& map) {
    std::vector<int> changed;
    for (std::size_t i = 0; i < map.size(); ++i)
        if (map[i] != kConstant)
            changed.push_back(static_cast<int>(i));
    return changed;
}

TEST(SubmittedPicture, FindsEveryChangedMacroblockAndNoOther) {
    TSubmittedPicture copy;
    copy.Reset(kWidth, kHeight);
    TPicture picture;
    std::vector<std::uint8_t> map;
    copy.MarkSame(picture.Planes(), picture.Strides, kConstant, map);
    EXPECT_EQ(Changed(map).size(), map.size()) << "with nothing held, everything is changed";
    copy.Keep(picture.Planes(), picture.Strides, kConstant, map);
    copy.MarkSame(picture.Planes(), picture.Strides, kConstant, map);
    EXPECT_TRUE(Changed(map).empty());

    // The bottom-right pixel of the luma plane, one chroma pixel on the
    // edge between two macroblocks, and the padding, which is no picture.
    picture.At(0, kWidth - 1, kHeight - 1) ^= 1;
    picture.At(2, 8, 0) ^= 1;
    picture.At(1, kWidth / 2 + 3, 4) ^= 1;
    copy.MarkSame(picture.Planes(), picture.Strides, kConstant, map);
    EXPECT_EQ(Changed(map), (std::vector<int>{1, 4 * kColumns + 6}));

    // Taken into the copy, they are the copy's: only what changes after.
    copy.Keep(picture.Planes(), picture.Strides, kConstant, map);
    picture.At(0, 20, 40) ^= 1;
    copy.MarkSame(picture.Planes(), picture.Strides, kConstant, map);
    EXPECT_EQ(Changed(map), (std::vector<int>{2 * kColumns + 1}));

    copy.Reset(kWidth, kHeight);
    copy.MarkSame(picture.Planes(), picture.Strides, kConstant, map);
    EXPECT_EQ(Changed(map).size(), map.size()) << "a reset forgets the copy";
}

} // namespace
} // namespace vardocle
