// How the skin looks where it matters to a user: five distinct frames per
// button that read as their states, and see-through pixels exactly where the
// window shapes want them.
#include "SkinFiles.h"

#include <QPainter>

#include <cmath>
#include <gtest/gtest.h>

using namespace vardocle::test;

namespace {

// The dark body colour the buttons sit on.
const QColor Backdrop(40, 50, 54);

QImage FrameOver(const QImage& strip, int index, const QColor& backdrop = Backdrop) {
    const int width = strip.width() / 5;
    QImage frame(width, strip.height(), QImage::Format_ARGB32);
    frame.fill(backdrop);
    QPainter p(&frame);
    p.drawImage(0, 0, strip, index * width, 0, width, strip.height());
    return frame;
}

double MeanDifference(const QImage& a, const QImage& b) {
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                   std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * a.width() * a.height());
}

struct Tone {
    double Lightness = 0; // mean luminance
    double Contrast = 0;  // spread of luminance
    double Colour = 0;    // mean saturation (max - min channel)
};

Tone ToneOf(const QImage& image) {
    Tone tone;
    double sumSquares = 0;
    const double n = image.width() * image.height();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            const double l = 0.299 * qRed(p) + 0.587 * qGreen(p) + 0.114 * qBlue(p);
            tone.Lightness += l;
            sumSquares += l * l;
            tone.Colour +=
                std::max({qRed(p), qGreen(p), qBlue(p)}) - std::min({qRed(p), qGreen(p), qBlue(p)});
        }
    tone.Lightness /= n;
    tone.Colour /= n;
    tone.Contrast = std::sqrt(std::max(0.0, sumSquares / n - tone.Lightness * tone.Lightness));
    return tone;
}

bool IsKey(QRgb pixel, const QColor& key) {
    return qAlpha(pixel) == 255 && (pixel & 0xffffff) == (key.rgb() & 0xffffff);
}

int KeyDistance(QRgb pixel, const QColor& key) {
    return std::abs(qRed(pixel) - key.red()) + std::abs(qGreen(pixel) - key.green()) +
           std::abs(qBlue(pixel) - key.blue());
}

QImage Load(const ExpectedPicture& picture) {
    return DecodeStored(ReadResource(":/skin/" + picture.Path));
}

constexpr int CornerSize = 6; // the largest rounding radius of the window pictures

} // namespace

TEST(ButtonFrames, AllFivePairwiseVisiblyDifferent) {
    for (const ExpectedPicture& picture : ExpectedPictures()) {
        if (!picture.Strip)
            continue;
        SCOPED_TRACE(picture.Path.toStdString());
        const QImage strip = Load(picture);
        ASSERT_FALSE(strip.isNull());
        for (int a = 0; a < 5; ++a)
            for (int b = a + 1; b < 5; ++b)
                EXPECT_GT(MeanDifference(FrameOver(strip, a), FrameOver(strip, b)), 8.0)
                    << "frames " << a << " and " << b;
    }
}

TEST(ButtonFrames, ReadAsTheirStates) {
    for (const ExpectedPicture& picture : ExpectedPictures()) {
        if (!picture.Strip)
            continue;
        SCOPED_TRACE(picture.Path.toStdString());
        const QImage strip = Load(picture);
        const Tone normal = ToneOf(FrameOver(strip, 0));
        const Tone hot = ToneOf(FrameOver(strip, 1));
        const Tone down = ToneOf(FrameOver(strip, 2));
        const Tone checked = ToneOf(FrameOver(strip, 3));
        const Tone disabled = ToneOf(FrameOver(strip, 4));
        EXPECT_GT(hot.Lightness, normal.Lightness) << "the hot frame lights up";
        EXPECT_LT(down.Lightness, normal.Lightness) << "a pressed button goes darker";
        EXPECT_GT(checked.Colour, normal.Colour) << "checked is highlighted in colour";
        EXPECT_LT(disabled.Contrast, 0.75 * normal.Contrast) << "disabled is low in contrast";
        EXPECT_LT(disabled.Colour, normal.Colour) << "disabled is grey";
    }
}

TEST(ButtonFrames, PressedIconMovesDownAndRight) {
    // Compare the icon areas only: the tiles differ in shade anyway, so match
    // on strong edges (the light icon against its face).
    const ExpectedPicture& stop = ExpectedPictures()[4];
    ASSERT_EQ(stop.Path, "main/BtnStop.pic");
    const QImage strip = Load(stop);
    auto inkBox = [&](int index) {
        const QImage frame = FrameOver(strip, index);
        QRect box;
        for (int y = 0; y < frame.height(); ++y)
            for (int x = 0; x < frame.width(); ++x)
                if (qGray(frame.pixel(x, y)) > 150)
                    box |= QRect(x, y, 1, 1);
        return box;
    };
    EXPECT_EQ(inkBox(2).topLeft(), inkBox(0).topLeft() + QPoint(1, 1));
}

TEST(ButtonFrames, HoldNoSolidPixelOfEitherKeyColour) {
    for (const ExpectedPicture& picture : ExpectedPictures()) {
        if (!picture.Strip)
            continue;
        SCOPED_TRACE(picture.Path.toStdString());
        const QImage strip = Load(picture);
        for (int y = 0; y < strip.height(); ++y)
            for (int x = 0; x < strip.width(); ++x) {
                const QRgb pixel = strip.pixel(x, y);
                ASSERT_FALSE(IsKey(pixel, MainKeyColour) || IsKey(pixel, SettingKeyColour))
                    << x << "," << y;
            }
    }
}

TEST(WindowPictures, AreOpaqueAndSeeThroughOnlyInTheirRoundedCorners) {
    for (const ExpectedPicture& picture : ExpectedPictures()) {
        if (picture.Strip)
            continue;
        SCOPED_TRACE(picture.Path.toStdString());
        const QImage image = Load(picture);
        ASSERT_FALSE(image.isNull());
        const int w = image.width(), h = image.height();
        struct CornerSquare {
            int Flag;
            QRect Area;
            QPoint Outward; // step towards the picture's edge
        };
        const CornerSquare corners[] = {
            {TopLeft, QRect(0, 0, CornerSize, CornerSize), QPoint(-1, -1)},
            {TopRight, QRect(w - CornerSize, 0, CornerSize, CornerSize), QPoint(1, -1)},
            {BottomRight, QRect(w - CornerSize, h - CornerSize, CornerSize, CornerSize),
             QPoint(1, 1)},
            {BottomLeft, QRect(0, h - CornerSize, CornerSize, CornerSize), QPoint(-1, 1)},
        };
        for (const CornerSquare& corner : corners) {
            const QPoint tip(corner.Outward.x() < 0 ? 0 : w - 1,
                             corner.Outward.y() < 0 ? 0 : h - 1);
            EXPECT_EQ(IsKey(image.pixel(tip), picture.Key),
                      (picture.RoundedCorners & corner.Flag) != 0)
                << "corner pixel " << tip.x() << "," << tip.y();
        }
        int keyPixels = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const QRgb pixel = image.pixel(x, y);
                ASSERT_EQ(qAlpha(pixel), 255) << "half-transparent pixel " << x << "," << y;
                if (!IsKey(pixel, picture.Key)) {
                    // Nothing solid may come so close to the key that it reads
                    // as a fringe of it or falls into a tolerant mask.
                    EXPECT_GE(KeyDistance(pixel, picture.Key), 24) << x << "," << y;
                    continue;
                }
                ++keyPixels;
                const CornerSquare* home = nullptr;
                for (const CornerSquare& corner : corners)
                    if ((picture.RoundedCorners & corner.Flag) && corner.Area.contains(x, y))
                        home = &corner;
                ASSERT_NE(home, nullptr)
                    << "see-through pixel outside the corners at " << x << "," << y;
                // The see-through part of a corner is solid towards the edge:
                // no stray key pixels inside the shape.
                const int nx = x + home->Outward.x(), ny = y + home->Outward.y();
                if (nx >= 0 && nx < w) {
                    EXPECT_TRUE(IsKey(image.pixel(nx, y), picture.Key)) << x << "," << y;
                }
                if (ny >= 0 && ny < h) {
                    EXPECT_TRUE(IsKey(image.pixel(x, ny), picture.Key)) << x << "," << y;
                }
            }
        EXPECT_GT(keyPixels, 0);
    }
}

TEST(WindowPictures, ButtonsOnTheMainBackgroundNeverProduceTheKey) {
    // The main window takes its shape from the key colour; a button pixel
    // that blends into exactly that colour would punch a hole into it.
    const QImage background = Load(ExpectedPictures()[0]);
    ASSERT_EQ(background.size(), QSize(240, 89));
    struct Placed {
        std::size_t Index;
        QPoint At; // in the background picture's coordinates
    };
    std::vector<Placed> placed;
    for (std::size_t i = 1; i <= 7; ++i) { // the six large buttons; sound has two strips
        const int column = static_cast<int>(i <= 5 ? i - 1 : i - 2);
        placed.push_back({i, QPoint(7 + 39 * column, 34)});
    }
    placed.push_back({8, QPoint(141, 4)});
    placed.push_back({9, QPoint(159, 4)});
    placed.push_back({10, QPoint(182, 2)});
    placed.push_back({11, QPoint(207, 2)});
    for (const Placed& button : placed) {
        const ExpectedPicture& picture = ExpectedPictures()[button.Index];
        SCOPED_TRACE(picture.Path.toStdString());
        const QImage strip = Load(picture);
        const int fw = strip.width() / 5;
        for (int state = 0; state < 5; ++state) {
            QImage window = background.copy();
            QPainter p(&window);
            p.drawImage(button.At, strip, QRect(state * fw, 0, fw, strip.height()));
            p.end();
            for (int y = button.At.y(); y < button.At.y() + strip.height(); ++y)
                for (int x = button.At.x(); x < button.At.x() + fw; ++x)
                    ASSERT_GE(KeyDistance(window.pixel(x, y), MainKeyColour), 8)
                        << "state " << state << " at " << x << "," << y;
        }
    }
}
