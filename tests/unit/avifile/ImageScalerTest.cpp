// The scaler's reuse of what it kept: a picture changed in a few rows must
// come out exactly as a whole pass over it would give, at every edge.
#include "platform/avifile/ImageScaler.h"
#include "platform/avifile/H264Encoder.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavutil/pixfmt.h>
}

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

using namespace vardocle;

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kOutWidth = 1024;
constexpr int kOutHeight = 768;

// Fine detail everywhere (as text has), so any row scaled from the wrong
// source rows shows.
std::vector<std::uint8_t> Picture() {
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(kWidth) * kHeight * 4);
    std::uint32_t state = 12345;
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        state = state * 1103515245u + 12345u;
        pixels[i] = static_cast<std::uint8_t>(state >> 24);
    }
    return pixels;
}

void Paint(std::vector<std::uint8_t>& pixels, int top, int bottom, std::uint8_t value) {
    for (int y = top; y < bottom; ++y)
        for (int x = 300; x < 900; ++x)
            for (int c = 0; c < 4; ++c)
                pixels[(static_cast<std::size_t>(y) * kWidth + x) * 4 + c] =
                    static_cast<std::uint8_t>(value + c * 40);
}

struct TPlanes {
    std::vector<std::uint8_t> Bytes =
        std::vector<std::uint8_t>(static_cast<std::size_t>(kOutWidth) * kOutHeight * 3 / 2);
    bool Scale(TImageScaler& scaler, const std::vector<std::uint8_t>& pixels, TChangedRows changed,
               int format = AV_PIX_FMT_YUV420P) {
        TSourceImage source{pixels.data(),      kWidth, kHeight, kWidth * 4,
                            TPixelLayout::Bgr0, changed};
        const std::size_t luma = static_cast<std::size_t>(kOutWidth) * kOutHeight;
        std::uint8_t* planes[3] = {Bytes.data(), Bytes.data() + luma, Bytes.data() + luma * 5 / 4};
        const int strides[3] = {kOutWidth, kOutWidth / 2, kOutWidth / 2};
        return scaler.Scale(source, kOutWidth, kOutHeight, format, planes, strides);
    }
};

// Scales `before`, then `after` told only `changed`; compared with a fresh
// scaler's whole pass over `after`.
void ExpectSameAsWholePass(const std::vector<std::uint8_t>& before,
                           const std::vector<std::uint8_t>& after, TChangedRows changed,
                           int format) {
    TImageScaler kept;
    TPlanes partly;
    ASSERT_TRUE(partly.Scale(kept, before, {}, format));
    ASSERT_TRUE(partly.Scale(kept, after, changed, format));
    TImageScaler fresh;
    TPlanes whole;
    ASSERT_TRUE(whole.Scale(fresh, after, {}, format));
    std::size_t differing = 0;
    for (std::size_t i = 0; i < whole.Bytes.size(); ++i)
        differing += partly.Bytes[i] != whole.Bytes[i];
    EXPECT_EQ(differing, 0u) << "rows " << changed.Top << ".." << changed.Bottom;
}

} // namespace

TEST(ImageScaler, RowsChangedAnywhereComeOutAsAWholePassWouldGiveThem) {
    const std::vector<std::uint8_t> before = Picture();
    // The middle, an odd start and end, the very top and the very bottom.
    const std::vector<std::pair<int, int>> bands = {{500, 520}, {333, 335}, {0, 3}, {1071, 1080}};
    for (const auto& [top, bottom] : bands) {
        for (const int format : {AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUVJ420P}) {
            std::vector<std::uint8_t> after = before;
            Paint(after, top, bottom, 200);
            ExpectSameAsWholePass(before, after, {top, bottom}, format);
        }
    }
}

TEST(ImageScaler, RunsOfRowsFarApartComeOutAsAWholePassWouldGiveThem) {
    const std::vector<std::uint8_t> before = Picture();
    std::vector<std::uint8_t> after = before;
    Paint(after, 100, 110, 30);
    Paint(after, 900, 931, 60);
    TChangedRows changed = TChangedRows::Nothing();
    changed.Add(900, 931);
    changed.Add(100, 110);
    ASSERT_EQ(changed.Runs().size(), 2u);
    ExpectSameAsWholePass(before, after, changed, AV_PIX_FMT_YUV420P);
}

TEST(ImageScaler, SmallAreasAnywhereComeOutAsAWholePassWouldGiveThem) {
    const std::vector<std::uint8_t> before = Picture();
    struct TRect {
        int Left, Top, Right, Bottom;
    };
    // A typed character at an odd column, at each edge and corner, and two on
    // the same rows far apart, which are scaled as one band.
    const std::vector<std::vector<TRect>> cases = {{{301, 401, 308, 415}},
                                                   {{0, 500, 3, 514}},
                                                   {{kWidth - 5, 0, kWidth, 14}},
                                                   {{kWidth - 9, kHeight - 3, kWidth, kHeight}},
                                                   {{40, 700, 47, 714}, {1700, 705, 1707, 719}}};
    for (const auto& rects : cases) {
        std::vector<std::uint8_t> after = before;
        TChangedRows changed = TChangedRows::Nothing();
        for (const TRect& rect : rects) {
            for (int y = rect.Top; y < rect.Bottom; ++y)
                for (int x = rect.Left; x < rect.Right; ++x)
                    after[(static_cast<std::size_t>(y) * kWidth + x) * 4 + 1] ^= 0x5A;
            changed.AddArea(rect.Left, rect.Top, rect.Right - rect.Left, rect.Bottom - rect.Top);
        }
        SCOPED_TRACE("left " + std::to_string(rects.front().Left));
        ExpectSameAsWholePass(before, after, changed, AV_PIX_FMT_YUV420P);
    }
}

TEST(ImageScaler, NothingChangedGivesThePlanesBeforeAndOtherSizesStartAnew) {
    const std::vector<std::uint8_t> before = Picture();
    std::vector<std::uint8_t> after = before;
    Paint(after, 100, 900, 10);
    // Told nothing changed, the kept planes are handed over as they were.
    TImageScaler kept;
    TPlanes first;
    ASSERT_TRUE(first.Scale(kept, before, {}));
    TPlanes second;
    ASSERT_TRUE(second.Scale(kept, after, TChangedRows::Nothing()));
    EXPECT_EQ(first.Bytes, second.Bytes);
    // Through another kind of pass in between, the kept planes are not
    // trusted: the whole picture is scaled again.
    std::vector<std::uint8_t> bitmap(static_cast<std::size_t>(kOutWidth) * 3 * kOutHeight);
    TSourceImage source{after.data(), kWidth, kHeight, kWidth * 4, TPixelLayout::Bgr0, {}};
    ASSERT_TRUE(kept.ScaleToBottomUpBgr24(source, kOutWidth, kOutHeight, bitmap.data()));
    TPlanes third;
    ASSERT_TRUE(third.Scale(kept, after, TChangedRows::Nothing()));
    TImageScaler fresh;
    TPlanes whole;
    ASSERT_TRUE(whole.Scale(fresh, after, {}));
    EXPECT_EQ(third.Bytes, whole.Bytes);
}

TEST(ImageScaler, EveryOutputPixelThatChangedLiesInAMacroblockMarkedChanged) {
    const std::vector<std::uint8_t> before = Picture();
    std::vector<std::uint8_t> after = before;
    // A block of rows and columns, and the last few pixels of the corner.
    const auto paint = [&](int left, int top, int right, int bottom) {
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x)
                after[(static_cast<std::size_t>(y) * kWidth + x) * 4] ^= 0x80;
    };
    paint(301, 401, 333, 419);
    paint(kWidth - 5, kHeight - 3, kWidth, kHeight);
    TChangedRows changed = TChangedRows::Nothing();
    changed.AddArea(301, 401, 32, 18);
    changed.AddArea(kWidth - 5, kHeight - 3, 5, 3);
    // Scaled to a size that is no multiple of 16, at the screen's own size
    // (whose last macroblock row is partial), and scaled from a whole grab
    // that tells nothing of what changed.
    struct TCase {
        int Width;
        int Height;
        bool Whole;
    };
    for (const auto& [width, height, whole] :
         {TCase{1000, 750, false}, TCase{kWidth, kHeight, false}, TCase{1000, 750, true}}) {
        SCOPED_TRACE(std::to_string(width) + (whole ? " whole" : ""));
        TImageScaler scaler;
        TScaledPicture picture;
        const TSourceImage first{before.data(), kWidth, kHeight, kWidth * 4};
        ASSERT_TRUE(scaler.ScaleKept(first, width, height, AV_PIX_FMT_YUV420P, picture));
        std::vector<std::vector<std::uint8_t>> old(3);
        for (int plane = 0; plane < 3; ++plane)
            for (int y = 0; y < (plane ? height / 2 : height); ++y) {
                const std::uint8_t* row = picture.Planes[plane] + y * picture.Strides[plane];
                old[plane].insert(old[plane].end(), row, row + (plane ? width / 2 : width));
            }
        const TSourceImage second{after.data(),       kWidth, kHeight, kWidth * 4,
                                  TPixelLayout::Bgr0, changed};
        ASSERT_TRUE(scaler.ScaleKept(second, width, height, AV_PIX_FMT_YUV420P, picture));
        ASSERT_FALSE(picture.Changed.All());
        std::vector<std::uint8_t> map;
        MarkUnchangedMacroblocks(picture.Changed, width, height, 1, map);
        const int columns = (width + 15) / 16;
        long differing = 0;
        long missed = 0;
        for (int plane = 0; plane < 3; ++plane) {
            const int shift = plane ? 1 : 0;
            for (int y = 0; y < height >> shift; ++y)
                for (int x = 0; x < width >> shift; ++x) {
                    const std::uint8_t now = picture.Planes[plane][y * picture.Strides[plane] + x];
                    if (now == old[plane][static_cast<std::size_t>(y) * (width >> shift) + x])
                        continue;
                    ++differing;
                    missed += map[static_cast<std::size_t>((y << shift) / 16 * columns +
                                                           (x << shift) / 16)] != 0;
                }
        }
        EXPECT_GT(differing, 0);
        EXPECT_EQ(missed, 0) << "changed pixels in macroblocks marked unchanged";
        // Most of the picture stays unchanged.
        EXPECT_GT(std::count(map.begin(), map.end(), 1), static_cast<long>(map.size() * 8 / 10));
    }
}
