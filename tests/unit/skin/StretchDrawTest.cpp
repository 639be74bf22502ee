// Seam stretching on real surfaces: which frame pixels land where.
#include "SkinPictures.h"
#include "skin/GDIPOBJ.h"
#include "skin/PubFunc.h"

#include <QBuffer>
#include <QPainter>
#include <gtest/gtest.h>

namespace vardocle {
namespace {

// A 3-frame strip of 6 x 4 frames. Frame 1 has a red first column, a green
// seam (columns 2 and 3), a blue last column and grey elsewhere; its first
// row is yellow except where the columns are coloured.
QImage Strip() {
    QImage image = test::StripImage(3, 6, 4, {Qt::black, Qt::gray, Qt::white});
    for (int y = 0; y < 4; ++y) {
        image.setPixelColor(6 + 0, y, Qt::red);
        image.setPixelColor(6 + 2, y, Qt::green);
        image.setPixelColor(6 + 3, y, Qt::green);
        image.setPixelColor(6 + 5, y, Qt::blue);
    }
    image.setPixelColor(6 + 1, 0, Qt::yellow);
    image.setPixelColor(6 + 4, 0, Qt::yellow);
    return image;
}

std::unique_ptr<TGPBitmap> Decoded(const QImage& image) {
    QByteArray bytes = test::PngBytes(image);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    TFixedStreamAdapter adapter(buffer);
    return std::make_unique<TGPBitmap>(adapter);
}

QImage Draw(THorzStretchType horz, TVertStretchType vert, int W, int H, int targetW = 40,
            int targetH = 20) {
    auto picture = Decoded(Strip());
    TGPBitmap target(targetW, targetH);
    {
        TGPGraphics graphics(&target);
        graphics.SetInterpolationMode(InterpolationModeNearestNeighbor);
        graphics.SetPixelOffsetMode(PixelOffsetModeHalf);
        DrawStretchedFrame(picture.get(), &graphics, {W, H}, 1, 6, horz, vert);
    }
    return target.Native().convertToFormat(QImage::Format_ARGB32);
}

QColor At(const QImage& image, int x, int y) {
    return image.pixelColor(x, y);
}

TEST(StretchDraw, MiddleAndCenterStretchOnlyTheSeams) {
    const QImage out = Draw(hstMiddle, vstCenter, 20, 10);
    // Columns: 0,1 from the frame's start; 2..17 the green seam; 18,19 the end.
    EXPECT_EQ(At(out, 0, 5), QColor(Qt::red));
    EXPECT_EQ(At(out, 1, 5), QColor(Qt::gray));
    for (int x = 2; x < 18; ++x)
        EXPECT_EQ(At(out, x, 5), QColor(Qt::green)) << x;
    EXPECT_EQ(At(out, 18, 5), QColor(Qt::gray));
    EXPECT_EQ(At(out, 19, 5), QColor(Qt::blue));
    // Rows: only row 0 is yellow; the seam rows 1, 2 are stretched to 1..8.
    EXPECT_EQ(At(out, 1, 0), QColor(Qt::yellow));
    EXPECT_EQ(At(out, 18, 0), QColor(Qt::yellow));
    for (int y = 1; y < 10; ++y)
        EXPECT_EQ(At(out, 1, y), QColor(Qt::gray)) << y;
    // Nothing outside the target size.
    EXPECT_EQ(At(out, 20, 5).alpha(), 0);
    EXPECT_EQ(At(out, 5, 10).alpha(), 0);
}

TEST(StretchDraw, LeftSeamRepeatsTheFirstColumn) {
    const QImage out = Draw(hstLeft, vstAll, 12, 8);
    for (int x = 0; x < 7; ++x)
        EXPECT_EQ(At(out, x, 3), QColor(Qt::red)) << x;
    EXPECT_EQ(At(out, 7, 3), QColor(Qt::gray));
    EXPECT_EQ(At(out, 11, 3), QColor(Qt::blue));
    // vstAll: 4 rows onto 8, the yellow first row becomes two.
    EXPECT_EQ(At(out, 7, 1), QColor(Qt::yellow));
    EXPECT_EQ(At(out, 7, 2), QColor(Qt::gray));
}

TEST(StretchDraw, BothNoneDrawsTheFrameAtItsOwnSize) {
    const QImage out = Draw(hstNone, vstNone, 3, 2);
    EXPECT_EQ(At(out, 5, 3), QColor(Qt::blue));
    EXPECT_EQ(At(out, 6, 3).alpha(), 0);
    EXPECT_EQ(At(out, 0, 4).alpha(), 0);
}

TEST(StretchDraw, CustomAndEmptyTargetsLeaveTheTargetUntouched) {
    for (const QImage& out : {Draw(hstCustom, vstAll, 20, 10), Draw(hstAll, vstCustom, 20, 10),
                              Draw(hstAll, vstAll, 0, 10), Draw(hstMiddle, vstCenter, -4, 10)}) {
        bool untouched = true;
        for (int y = 0; y < out.height(); ++y)
            for (int x = 0; x < out.width(); ++x)
                untouched = untouched && out.pixelColor(x, y).alpha() == 0;
        EXPECT_TRUE(untouched);
    }
}

} // namespace
} // namespace vardocle
