// What the image controls paint in each state: the expected frame's pixels
// where the layout puts them, and nothing elsewhere.
#include "SkinPictures.h"
#include "skin/ImageButton.h"

#include <QBuffer>
#include <QEnterEvent>
#include <QFontMetricsF>
#include <QTest>
#include <gtest/gtest.h>

namespace vardocle {
namespace {

const QList<QColor> kFrameColours = {QColor(200, 30, 30), QColor(30, 200, 30), QColor(30, 30, 200),
                                     QColor(200, 200, 30), QColor(120, 120, 120)};
const QColor kBackground(255, 255, 255);

std::unique_ptr<TPicture> Strip(int frames, int frameWidth, int height) {
    return test::ReadStoredPicture(test::StoredPicture(
        test::StripImage(frames, frameWidth, height, kFrameColours.mid(0, frames))));
}

QImage Render(QWidget& control) {
    QImage image(control.size(), QImage::Format_ARGB32);
    image.fill(kBackground);
    control.render(&image, {}, {}, QWidget::DrawChildren);
    return image;
}

// Every pixel of the rectangle has the colour, every pixel outside it (and
// outside `ignore`) is background.
::testing::AssertionResult Shows(const QImage& image, const QRect& where, QColor colour,
                                 const QRect& ignore = {}) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor actual = image.pixelColor(x, y);
            if (where.contains(x, y)) {
                if (actual != colour)
                    return ::testing::AssertionFailure()
                           << "(" << x << "," << y << ") is " << actual.name().toStdString()
                           << ", expected " << colour.name().toStdString();
            } else if (!ignore.contains(x, y) && actual != kBackground) {
                return ::testing::AssertionFailure()
                       << "(" << x << "," << y << ") outside is " << actual.name().toStdString();
            }
        }
    return ::testing::AssertionSuccess();
}

// Puts the control into one of the five looks the way a user would.
void EnterState(TImageButton& button, int state) {
    switch (state) {
    case stHot: {
        QEnterEvent enter(QPointF(3, 3), QPointF(3, 3), QPointF(3, 3));
        QCoreApplication::sendEvent(&button, &enter);
        break;
    }
    case stDown:
        QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(3, 3));
        break;
    case stChecked:
        button.SetChecked(true);
        break;
    case stDisabledFrame:
        button.setEnabled(false);
        break;
    default:
        break;
    }
}

TEST(ImageButtonPixels, EachStateShowsItsGlyphFrame) {
    for (int state = 0; state < 5; ++state) {
        QWidget form;
        TImageButton button(&form);
        button.setGeometry(0, 0, 31, 48);
        button.SetGlyphLayout(glTop);
        button.SetImageGlyph(*Strip(5, 30, 30));
        EnterState(button, state);
        // Empty caption: glyphX 0.5 rounds to 0, glyphY (48 - 30 - 2) / 2.
        EXPECT_TRUE(Shows(Render(button), QRect(0, 8, 30, 30), kFrameColours[state]))
            << "state " << state;
    }
}

TEST(ImageButtonPixels, FewerGlyphFramesAreClamped) {
    for (int glyphNumber : {1, 4}) {
        QWidget form;
        TImageButton button(&form);
        button.setGeometry(0, 0, 25, 20);
        button.SetGlyphNumber(static_cast<std::uint8_t>(glyphNumber));
        button.SetImageGlyph(*Strip(glyphNumber, 25, 20));
        button.setEnabled(false);
        // glLeft, empty caption: glyphX = (25 - 25 - 2) / 2 = -1.
        EXPECT_TRUE(Shows(Render(button), QRect(0, 0, 24, 20), kFrameColours[glyphNumber - 1]))
            << glyphNumber;
    }
}

TEST(ImageButtonPixels, GlyphNumberZeroShowsNoGlyph) {
    QWidget form;
    TImageButton button(&form);
    button.setGeometry(0, 0, 30, 20);
    button.SetGlyphNumber(0);
    button.SetImageGlyph(*Strip(5, 6, 6));
    EXPECT_TRUE(Shows(Render(button), QRect(), kBackground));
}

TEST(ImageButtonPixels, CaptionBelowTheGlyph) {
    QWidget form;
    TImageButton button(&form);
    button.setGeometry(0, 0, 31, 48);
    button.SetGlyphLayout(glTop);
    button.SetCaption("录像");
    button.SetFontColor(QColor(0, 0, 0));
    button.SetImageGlyph(*Strip(5, 30, 30));
    const QImage image = Render(button);
    const QFontMetricsF metrics(button.font(), &image);
    const float th = static_cast<float>(metrics.height());
    const int glyphTop = RoundHalfEven((48 - 30 - th - 2) / 2);
    EXPECT_TRUE(Shows(image, QRect(0, glyphTop, 30, 30), kFrameColours[0],
                      QRect(0, glyphTop + 30, 31, 48)));
    // The caption's ink lies below the glyph.
    int ink = 0;
    for (int y = glyphTop + 30; y < 48; ++y)
        for (int x = 0; x < 31; ++x)
            ink += image.pixelColor(x, y) != kBackground ? 1 : 0;
    EXPECT_GT(ink, 10);
}

TEST(ImageButtonPixels, CaptionAloneFollowsTheAlignment) {
    auto inkSpan = [](TAlignment alignment) {
        QWidget form;
        TImageButton button(&form);
        button.setGeometry(0, 0, 120, 20);
        button.SetCaption("Ab");
        button.SetAlignment(alignment);
        button.SetBorderSpace(10);
        return test::InkColumns(Render(button), [](const QColor& c) { return c != kBackground; });
    };
    const auto left = inkSpan(taLeftJustify);
    const auto right = inkSpan(taRightJustify);
    const auto centre = inkSpan(taCenter);
    EXPECT_GE(left.first, 10);
    EXPECT_LT(left.first, 14);
    EXPECT_LE(right.second, 110);
    EXPECT_GT(right.second, 104);
    EXPECT_NEAR((centre.first + centre.second) / 2.0, 60, 4);
}

TEST(ImageButtonPixels, BorderIsStretchedOverTheControl) {
    for (int state : {0, 4}) {
        QWidget form;
        TImageButton button(&form);
        button.setGeometry(0, 0, 40, 20);
        button.SetImageBorder(*Strip(5, 8, 8));
        EnterState(button, state);
        EXPECT_TRUE(Shows(Render(button), QRect(0, 0, 40, 20), kFrameColours[state]));
        // Both None: the frame at its own size.
        button.SetImageBorderHorzStretch(hstNone);
        button.SetImageBorderVertStretch(vstNone);
        EXPECT_TRUE(Shows(Render(button), QRect(0, 0, 8, 8), kFrameColours[state]));
    }
}

TEST(ImageButtonPixels, UndecodablePictureDrawsNothing) {
    const auto damaged =
        test::ReadStoredPicture(QByteArray("\x0bTnxPNGImage") +
                                test::PngBytes(QImage(4, 4, QImage::Format_ARGB32)).left(13));
    QWidget form;
    TImageButton button(&form);
    button.setGeometry(0, 0, 30, 30);
    button.SetImageGlyph(*damaged);
    EXPECT_EQ(button.GlyphImage(), nullptr);
    EXPECT_TRUE(Shows(Render(button), QRect(), kBackground));
}

} // namespace
} // namespace vardocle
