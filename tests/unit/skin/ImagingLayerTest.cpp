// The imaging object layer: statuses, surfaces, drawing, text and fonts.
#include "SkinPictures.h"
#include "skin/GDIPOBJ.h"

#include <QBuffer>
#include <QFontDatabase>
#include <gtest/gtest.h>

namespace vardocle {
namespace {

TEST(ImagingLayer, OkStatusKeepsTheStoredFailure) {
    TGPStringFormat format;
    EXPECT_EQ(format.SetAlignment(static_cast<TStringAlignment>(7)), InvalidParameter);
    EXPECT_EQ(format.SetAlignment(StringAlignmentFar), Ok);
    EXPECT_EQ(format.GetAlignment(), StringAlignmentFar);
    EXPECT_EQ(format.GetLastStatus(), InvalidParameter);
    EXPECT_EQ(format.GetLastStatus(), Ok); // reading resets
}

TEST(ImagingLayer, NewArgbSurfaceIsTransparentAndTakesDrawing) {
    TGPBitmap surface(7, 5);
    ASSERT_TRUE(surface.HasNative());
    EXPECT_EQ(surface.GetWidth(), 7u);
    EXPECT_EQ(surface.GetHeight(), 5u);
    EXPECT_EQ(surface.Native().pixelColor(3, 3).alpha(), 0);

    TGPBitmap source(2, 1);
    source.Native().setPixelColor(0, 0, Qt::red);
    source.Native().setPixelColor(1, 0, Qt::blue);
    {
        TGPGraphics graphics(&surface);
        // Two source pixels stretched over six columns: three each.
        EXPECT_EQ(graphics.DrawImage(&source, TGPRect{0, 1, 6, 2}, 0, 0, 2, 1, UnitPixel), Ok);
    }
    const QImage out = surface.Native().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(out.pixelColor(2, 1), QColor(Qt::red));
    EXPECT_EQ(out.pixelColor(3, 2), QColor(Qt::blue));
    EXPECT_EQ(out.pixelColor(6, 1).alpha(), 0);
    EXPECT_EQ(out.pixelColor(0, 0).alpha(), 0);
}

TEST(ImagingLayer, FailedCreationGivesObjectsThatRefuse) {
    TGPBitmap none(0, 3);
    EXPECT_FALSE(none.HasNative());
    EXPECT_EQ(none.GetWidth(), 0u);
    EXPECT_EQ(none.GetLastStatus(), InvalidParameter);
    TGPGraphics noContext(static_cast<TGPImage*>(nullptr));
    EXPECT_FALSE(noContext.HasNative());
    EXPECT_EQ(noContext.SetInterpolationMode(InterpolationModeNearestNeighbor), InvalidParameter);
    TGPBitmap target(4, 4);
    TGPGraphics graphics(&target);
    EXPECT_EQ(graphics.DrawImage(&none, TGPRect{0, 0, 2, 2}, 0, 0, 1, 1, UnitPixel),
              InvalidParameter);
}

TEST(ImagingLayer, BitmapFromStreamDecodesFromThePositionThroughTheFixedAdapter) {
    QByteArray bytes = "junk" + test::PngBytes(test::StripImage(1, 3, 2, {Qt::magenta}));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    buffer.seek(4);
    TFixedStreamAdapter adapter(buffer);
    TStatStg stat;
    stat.Name = "stale";
    EXPECT_EQ(adapter.Stat(&stat), S_OK_RESULT);
    EXPECT_EQ(stat.Type, TStatStg::STGTY_STREAM);
    EXPECT_EQ(stat.Size, static_cast<std::uint64_t>(bytes.size()));
    EXPECT_TRUE(stat.Name.isEmpty());
    EXPECT_EQ(stat.LocksSupported, TStatStg::LOCK_WRITE);
    EXPECT_TRUE(stat.Modified.isValid());

    TGPBitmap bitmap(adapter);
    ASSERT_TRUE(bitmap.HasNative());
    EXPECT_EQ(bitmap.GetWidth(), 3u);
    EXPECT_EQ(bitmap.GetHeight(), 2u);
    EXPECT_EQ(bitmap.Native().pixelColor(1, 1), QColor(Qt::magenta));
}

TEST(ImagingLayer, UndecodableStreamGivesAnImageWithoutContent) {
    QByteArray bytes("\x89PNG\r\n\x1a\n broken beyond repair");
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    TFixedStreamAdapter adapter(buffer);
    TGPBitmap bitmap(adapter);
    EXPECT_FALSE(bitmap.HasNative());
    EXPECT_NE(bitmap.GetLastStatus(), Ok);
}

TEST(ImagingLayer, FontFallsBackToGenericSansSerif) {
    TGPFont missing("No Such Family Anywhere 9z", 9, FontStyleBold | FontStyleUnderline);
    ASSERT_TRUE(missing.HasNative());
    EXPECT_EQ(missing.GetLastStatus(), Ok);
    EXPECT_EQ(missing.Native().family(), TGPFontFamily::GenericSansSerif()->NativeFamily());
    EXPECT_TRUE(missing.Native().bold());
    EXPECT_TRUE(missing.Native().underline());
    EXPECT_FALSE(missing.Native().italic());
    EXPECT_DOUBLE_EQ(missing.Native().pointSizeF(), 9.0);

    const QString installed = QFontDatabase::families().value(0);
    ASSERT_FALSE(installed.isEmpty());
    TGPFont present(installed, 12, FontStyleItalic | FontStyleStrikeout);
    EXPECT_EQ(present.Native().family(), installed);
    EXPECT_TRUE(present.Native().italic());
    EXPECT_TRUE(present.Native().strikeOut());

    TGPFont bad(installed, 0);
    EXPECT_FALSE(bad.HasNative());
    EXPECT_EQ(bad.GetLastStatus(), InvalidParameter);
}

TEST(ImagingLayer, MeasureAndDrawText) {
    TGPBitmap surface(120, 40);
    TGPGraphics graphics(&surface);
    TGPFont font("sans-serif", 10);
    TGPRectF box;
    EXPECT_EQ(graphics.MeasureString("", -1, &font, {3, 4}, box), Ok);
    EXPECT_EQ(box, (TGPRectF{3, 4, 0, 0}));
    EXPECT_EQ(graphics.MeasureString("录像 Rec", -1, &font, {0, 0}, box), Ok);
    EXPECT_GT(box.Width, 20);
    EXPECT_GT(box.Height, 8);
    TGPRectF shorter;
    graphics.MeasureString("录像 Rec", 2, &font, {0, 0}, shorter);
    EXPECT_LT(shorter.Width, box.Width);
    EXPECT_EQ(graphics.MeasureString("x", -1, nullptr, {0, 0}, box), InvalidParameter);

    // Text at a point lies right of and below the point.
    TGPSolidBrush brush(0xFF0000FF);
    EXPECT_EQ(graphics.DrawString("WWW", -1, &font, TGPPointF{60, 20}, &brush), Ok);
    const QImage& out = surface.Native();
    int minX = 1000, minY = 1000, count = 0;
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x)
            if (qAlpha(out.pixel(x, y)) > 0) {
                minX = std::min(minX, x);
                minY = std::min(minY, y);
                ++count;
            }
    EXPECT_GT(count, 0);
    EXPECT_GE(minX, 59);
    EXPECT_GE(minY, 20);
}

TEST(ImagingLayer, TextInARectangleFollowsTheFormat) {
    auto inkColumns = [](TStringAlignment align) {
        TGPBitmap surface(200, 30);
        TGPGraphics graphics(&surface);
        TGPFont font("sans-serif", 9);
        TGPStringFormat format;
        format.SetAlignment(align);
        format.SetLineAlignment(StringAlignmentCenter);
        TGPSolidBrush brush(0xFF000000);
        graphics.DrawString("Ab", -1, &font, TGPRectF{0, 0, 200, 30}, &format, &brush);
        return test::InkColumns(surface.Native(), [](const QColor& c) { return c.alpha() > 0; });
    };
    const auto near = inkColumns(StringAlignmentNear);
    const auto centre = inkColumns(StringAlignmentCenter);
    const auto far = inkColumns(StringAlignmentFar);
    EXPECT_LT(near.first, 5);
    EXPECT_GT(far.second, 194);
    EXPECT_NEAR((centre.first + centre.second) / 2.0, 100, 6);
}

} // namespace
} // namespace vardocle
