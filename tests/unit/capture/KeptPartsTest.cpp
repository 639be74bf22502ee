#include "platform/screen/KeptParts.h"

#include <gtest/gtest.h>

using namespace vardocle;

namespace {

// A 40 x 30 picture with two bytes of padding after each row's pixels.
struct TPicture {
    static constexpr int kWidth = 40;
    static constexpr int kHeight = 30;
    static constexpr std::ptrdiff_t kStride = kWidth * 4 + 8;
    std::vector<std::uint8_t> Bytes = std::vector<std::uint8_t>(kStride * kHeight, 0x11);

    TScreenGrab Grab(TChangedRows changed) {
        return {Bytes.data(), kWidth, kHeight, kStride, changed};
    }
    void Set(int x, int y, std::uint8_t value) { Bytes[y * kStride + x * 4 + 1] = value; }
};

TChangedRows Parts(const std::vector<TScreenRect>& parts) {
    TChangedRows rows = TChangedRows::Nothing();
    for (const TScreenRect& part : parts)
        rows.AddArea(part.X, part.Y, part.Width, part.Height);
    return rows;
}

} // namespace

TEST(KeptParts, PartsReadAgainUnchangedAreNoChangeAndAChangedOneKeepsOnlyItsChangedRows) {
    TPicture picture;
    const std::vector<TScreenRect> parts{{0, 0, 40, 30}, {5, 5, 10, 10}};
    TKeptParts before;
    before.Take(picture.Grab({}), parts);
    EXPECT_TRUE(before.Differing(picture.Grab(Parts(parts))).Empty());

    // Padding and pixels outside every part are not compared.
    picture.Bytes[TPicture::kWidth * 4 + 2] = 0x77;
    EXPECT_TRUE(before.Differing(picture.Grab(Parts(parts))).Empty());

    picture.Set(7, 9, 0x42);
    picture.Set(8, 12, 0x42);
    const std::vector<TChangedArea> areas = before.Differing(picture.Grab(Parts(parts))).Areas();
    ASSERT_EQ(areas.size(), 1u);
    EXPECT_EQ(areas[0].Top, 9);
    EXPECT_EQ(areas[0].Bottom, 13);
}

TEST(KeptParts, AWholeReadIsComparedInItsPartsAndWithoutACopyOrAtAnotherSizeAllChanged) {
    TPicture picture;
    TKeptParts before;
    const TChangedRows some = Parts({{0, 0, 4, 4}});
    EXPECT_TRUE(before.Differing(picture.Grab(some)).All());

    before.Take(picture.Grab({}), {{0, 0, 4, 4}});
    EXPECT_TRUE(before.Differing(picture.Grab({})).Empty());
    EXPECT_TRUE(before.Covers({1, 1, 3, 3}));
    EXPECT_FALSE(before.Covers({1, 1, 4, 3}));
    TScreenGrab smaller = picture.Grab(some);
    smaller.Width = 20;
    EXPECT_TRUE(before.Differing(smaller).All());

    // Parts reaching past the picture are cut to it, not read past its end.
    before.Take(picture.Grab({}), {{30, 20, 50, 50}});
    picture.Set(39, 29, 0x42);
    EXPECT_EQ(before.Differing(picture.Grab(Parts({{30, 20, 10, 10}}))).Top, 29);
}
