// An area on the Wayland desktop, decided without one: the source asked of
// the portal, the permission kept per kind, the region cut from the
// monitor's picture, and a window's pictures of changing size scaled to the
// recording's.
#include "platform/avifile/ImageScaler.h"
#include "platform/screen/portal/PortalAnswers.h"
#include "platform/screen/portal/PortalFrames.h"
#include "platform/screen/portal/PortalScreen.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavutil/pixfmt.h>
}

using namespace vardocle;

namespace {

// A picture whose pixel (x, y) holds x in blue and green and y in red.
TCastPicture Numbered(int width, int height) {
    TCastPicture picture;
    picture.Width = width;
    picture.Height = height;
    picture.Pixels.resize(static_cast<std::size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = picture.Pixels.data() + (std::ptrdiff_t{y} * width + x) * 4;
            p[0] = static_cast<std::uint8_t>(x);
            p[1] = static_cast<std::uint8_t>(x >> 8);
            p[2] = static_cast<std::uint8_t>(y);
            p[3] = 0;
        }
    return picture;
}

// The (x, y) a grab's pixel came from; (-1, -1) for black.
std::pair<int, int> Origin(const TScreenGrab& grab, int x, int y) {
    const std::uint8_t* p = grab.Pixels + y * grab.Stride + std::ptrdiff_t{4} * x;
    if (p[0] == 0 && p[1] == 0 && p[2] == 0)
        return {-1, -1};
    return {p[0] | (p[1] << 8), p[2]};
}

} // namespace

TEST(PortalArea, EachKindAsksForItsSourceAndAWindowOnlyWhereTheDesktopCastsOne) {
    EXPECT_EQ(PortalSourceFor(TAreaKind::Screen), TPortalSource::Monitor);
    EXPECT_EQ(PortalSourceFor(TAreaKind::Monitor), TPortalSource::Monitor);
    EXPECT_EQ(PortalSourceFor(TAreaKind::Region), TPortalSource::Monitor);
    EXPECT_EQ(PortalSourceFor(TAreaKind::Window), TPortalSource::Window);

    EXPECT_EQ(PortalSourceRefusal(TPortalSource::Window, 1u), TPortalFailure::NoWindows);
    EXPECT_EQ(PortalSourceRefusal(TPortalSource::Window, 3u), std::nullopt);
    EXPECT_EQ(PortalSourceRefusal(TPortalSource::Monitor, 2u), TPortalFailure::NoPortal);
    // A desktop that does not say what it casts is asked all the same.
    EXPECT_EQ(PortalSourceRefusal(TPortalSource::Window, std::nullopt), std::nullopt);
    EXPECT_NE(PortalFailureMessage(TPortalFailure::NoWindows, "").find("录制范围"),
              std::string::npos);
}

TEST(PortalArea, AMonitorKeepsTheFileOfEarlierVersionsAndAWindowHasItsOwn) {
    EXPECT_EQ(PortalTokenFile(TPortalSource::Monitor).filename(), "ScreenCast.token");
    EXPECT_EQ(PortalTokenFile(TPortalSource::Window).parent_path(),
              PortalTokenFile(TPortalSource::Monitor).parent_path());
    EXPECT_NE(PortalTokenFile(TPortalSource::Window), PortalTokenFile(TPortalSource::Monitor));
}

TEST(PortalArea, ARegionIsCutFromItsPlaceAndBlackWhereThePictureShrankAway) {
    TCastPicture picture = Numbered(300, 200);
    TCastPicture spare;
    // Wholly on the picture: the picture's own rows, no copy.
    const TScreenGrab inside = CropCastPicture(picture, {17, 9, 40, 30}, spare);
    ASSERT_EQ(inside.Width, 40);
    ASSERT_EQ(inside.Height, 30);
    EXPECT_EQ(inside.Stride, picture.Stride());
    EXPECT_EQ(Origin(inside, 0, 0), std::make_pair(17, 9));
    EXPECT_EQ(Origin(inside, 39, 29), std::make_pair(56, 38));
    EXPECT_TRUE(spare.Pixels.empty());

    // Past the right and bottom edges (260 wide from 280, 30 high from 190).
    const TScreenGrab partly = CropCastPicture(picture, {280, 190, 260, 30}, spare);
    ASSERT_EQ(partly.Width, 260);
    ASSERT_EQ(partly.Stride, 260 * 4);
    EXPECT_EQ(Origin(partly, 0, 0), std::make_pair(280, 190));
    EXPECT_EQ(Origin(partly, 19, 9), std::make_pair(299, 199));
    EXPECT_EQ(Origin(partly, 20, 0), std::make_pair(-1, -1));
    EXPECT_EQ(Origin(partly, 0, 10), std::make_pair(-1, -1));
    EXPECT_EQ(Origin(partly, 259, 29), std::make_pair(-1, -1));
    // Wholly off: all black, at the region's size.
    const TScreenGrab gone = CropCastPicture(picture, {400, 0, 8, 8}, spare);
    EXPECT_EQ(gone.Width, 8);
    EXPECT_EQ(Origin(gone, 0, 0), std::make_pair(-1, -1));
}

TEST(PortalArea, ARegionCountsOnlyTheChangesThatReachItUntilAPictureIsTaken) {
    TLatestPicture pictures;
    const TScreenRect region{100, 100, 50, 50};
    const auto publish = [&](int width, const std::optional<TScreenRect>& changed) {
        pictures.Back().Width = width;
        pictures.Back().Height = 200;
        pictures.Publish(changed);
    };
    publish(300, TScreenRect{0, 0, 300, 200});
    EXPECT_TRUE(pictures.FreshIn(region));
    pictures.Take();
    publish(300, TScreenRect{0, 0, 100, 100}); // touches the corner only
    EXPECT_TRUE(pictures.Fresh());
    EXPECT_FALSE(pictures.FreshIn(region));
    publish(300, TScreenRect{149, 149, 5, 5}); // piled up with the one before
    EXPECT_TRUE(pictures.FreshIn(region));
    pictures.Take();
    EXPECT_FALSE(pictures.FreshIn(region));
    // Untold changes, and a picture of another size, may be anywhere.
    publish(300, std::nullopt);
    EXPECT_TRUE(pictures.FreshIn(region));
    pictures.Take();
    publish(280, TScreenRect{0, 0, 1, 1});
    EXPECT_TRUE(pictures.FreshIn(region));
}

// A window's picture in four quarters: red, green / blue, white.
std::vector<std::uint8_t> Quarters(int width, int height, int stride) {
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(stride) * height, 0x55);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool right = x >= width / 2;
            const bool bottom = y >= height / 2;
            const std::uint32_t colour =
                bottom ? (right ? 0xFFFFFF : 0x0000FF) : (right ? 0x00FF00 : 0xFF0000);
            std::uint8_t* p = pixels.data() + std::ptrdiff_t{y} * stride + std::ptrdiff_t{4} * x;
            p[0] = colour & 0xFF;
            p[1] = (colour >> 8) & 0xFF;
            p[2] = colour >> 16;
            p[3] = 0;
        }
    return pixels;
}

TEST(PortalArea, AWindowThatChangesSizeIsScaledWholeIntoTheRecordingsSize) {
    constexpr int kOutWidth = 320;
    constexpr int kOutHeight = 240;
    TImageScaler scaler;
    // Odd sizes, a wide and a tall one, rows padded as a cut region's are;
    // after the first, each tells only a few rows changed, as a screen that
    // kept its last picture would.
    const std::vector<std::tuple<int, int, int>> sizes = {
        {640, 480, 640 * 4}, {333, 251, 400 * 4}, {1001, 120, 1001 * 4}, {90, 700, 128 * 4}};
    bool first = true;
    for (const auto& [width, height, stride] : sizes) {
        const auto pixels = Quarters(width, height, stride);
        const TSourceImage source{pixels.data(),
                                  width,
                                  height,
                                  stride,
                                  TPixelLayout::Bgr0,
                                  first ? TChangedRows{} : TChangedRows{0, 4}};
        first = false;
        const int rowBytes = kOutWidth * 3;
        std::vector<std::uint8_t> bitmap(static_cast<std::size_t>(rowBytes) * kOutHeight);
        ASSERT_TRUE(scaler.ScaleToBottomUpBgr24(source, kOutWidth, kOutHeight, bitmap.data()));
        // Each channel within a little of the quarter's colour (the filter
        // rings a touch at the edges); the rows' padding or another
        // quarter is far off.
        const auto near = [&](int x, int y, std::uint32_t colour) {
            const std::uint8_t* p = bitmap.data() + std::ptrdiff_t{kOutHeight - 1 - y} * rowBytes +
                                    std::ptrdiff_t{3} * x;
            for (int c = 0; c < 3; ++c)
                if (std::abs(p[c] - static_cast<int>((colour >> (8 * c)) & 0xFF)) > 8)
                    return false;
            return true;
        };
        for (const auto& [x, y, colour] :
             std::vector<std::tuple<int, int, std::uint32_t>>{{80, 60, 0xFF0000},
                                                              {240, 60, 0x00FF00},
                                                              {80, 180, 0x0000FF},
                                                              {240, 180, 0xFFFFFF},
                                                              {0, 0, 0xFF0000},
                                                              {319, 239, 0xFFFFFF}})
            EXPECT_TRUE(near(x, y, colour)) << width << "x" << height << " at " << x << "," << y;

        // The encoder's planes: what a fresh scaler's whole pass gives, not
        // planes kept from the size before.
        const std::size_t luma = static_cast<std::size_t>(kOutWidth) * kOutHeight;
        std::vector<std::uint8_t> kept(luma * 3 / 2);
        std::vector<std::uint8_t> fresh(luma * 3 / 2);
        const int strides[3] = {kOutWidth, kOutWidth / 2, kOutWidth / 2};
        for (auto* bytes : {&kept, &fresh}) {
            TImageScaler other;
            TImageScaler& used = bytes == &kept ? scaler : other;
            std::uint8_t* planes[3] = {bytes->data(), bytes->data() + luma,
                                       bytes->data() + luma * 5 / 4};
            ASSERT_TRUE(
                used.Scale(source, kOutWidth, kOutHeight, AV_PIX_FMT_YUV420P, planes, strides));
        }
        EXPECT_EQ(kept, fresh) << width << "x" << height;
    }
}
