#include "tools/skin/WindowPanels.h"

#include "tools/skin/SkinLook.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>

namespace vardocle::skinart {

namespace {

struct Radii {
    double TopLeft = 0, TopRight = 0, BottomRight = 0, BottomLeft = 0;
};

QPainterPath RoundedPath(const QRectF& r, Radii c) {
    QPainterPath path;
    path.moveTo(r.left() + c.TopLeft, r.top());
    path.lineTo(r.right() - c.TopRight, r.top());
    if (c.TopRight > 0)
        path.arcTo(QRectF(r.right() - 2 * c.TopRight, r.top(), 2 * c.TopRight, 2 * c.TopRight), 90,
                   -90);
    path.lineTo(r.right(), r.bottom() - c.BottomRight);
    if (c.BottomRight > 0)
        path.arcTo(QRectF(r.right() - 2 * c.BottomRight, r.bottom() - 2 * c.BottomRight,
                          2 * c.BottomRight, 2 * c.BottomRight),
                   0, -90);
    path.lineTo(r.left() + c.BottomLeft, r.bottom());
    if (c.BottomLeft > 0)
        path.arcTo(
            QRectF(r.left(), r.bottom() - 2 * c.BottomLeft, 2 * c.BottomLeft, 2 * c.BottomLeft),
            270, -90);
    path.lineTo(r.left(), r.top() + c.TopLeft);
    if (c.TopLeft > 0)
        path.arcTo(QRectF(r.left(), r.top(), 2 * c.TopLeft, 2 * c.TopLeft), 180, -90);
    path.closeSubpath();
    return path;
}

QImage Canvas(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QLinearGradient Vertical(double top, double bottom, const QColor& from, const QColor& to) {
    QLinearGradient g(0, top, 0, bottom);
    g.setColorAt(0.0, from);
    g.setColorAt(1.0, to);
    return g;
}

// Title band shared by all title bars: teal with a faint light from the left.
void PaintTitleBand(QPainter& p, const QRectF& band) {
    p.fillRect(band, Vertical(band.top(), band.bottom(), look::TitleTop, look::TitleBottom));
    QRadialGradient light(QPointF(band.left() + 40, band.top()), 140);
    QColor accent = look::Accent;
    accent.setAlpha(30);
    light.setColorAt(0.0, accent);
    light.setColorAt(1.0, Qt::transparent);
    p.fillRect(band, light);
    p.fillRect(QRectF(band.left(), band.top(), band.width(), 1), look::Sheen);
}

void PaintBody(QPainter& p, const QRectF& body) {
    p.fillRect(body, Vertical(body.top(), body.bottom(), look::BodyTop, look::BodyBottom));
}

// Keeps an opaque colour at least a few steps away from the key, so a window
// never gets a see-through hole where the picture was meant to be solid.
QRgb AwayFromKey(QRgb pixel, const QColor& key) {
    const int distance = std::abs(qRed(pixel) - key.red()) + std::abs(qGreen(pixel) - key.green()) +
                         std::abs(qBlue(pixel) - key.blue());
    if (distance >= 24)
        return pixel;
    const int shift = 24 - distance;
    const int green = qGreen(pixel) >= key.green() ? std::min(255, qGreen(pixel) + shift)
                                                   : std::max(0, qGreen(pixel) - shift);
    return qRgb(qRed(pixel), green, qBlue(pixel));
}

// A window picture: an outline-coloured shape with the given corner radii,
// its inside painted by paint (clipped to the inner shape), then keyed.
template <typename Paint>
QImage KeyedPanel(QSize size, Radii outer, const QRectF& inner, Radii innerRadii, const QColor& key,
                  Paint paint) {
    QImage image = Canvas(size.width(), size.height());
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillPath(RoundedPath(QRectF(QPointF(0, 0), QSizeF(size)), outer), look::Outline);
    p.setClipPath(RoundedPath(inner, innerRadii));
    paint(p);
    p.end();
    return FinishWithKey(image, key);
}

} // namespace

QImage FinishWithKey(const QImage& drawn, const QColor& key) {
    QImage source = drawn.convertToFormat(QImage::Format_ARGB32);
    QImage result(source.size(), QImage::Format_ARGB32);
    const QColor back = look::Outline;
    for (int y = 0; y < source.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        auto* out = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < source.width(); ++x) {
            const int a = qAlpha(in[x]);
            if (a < 128) {
                out[x] = key.rgb();
                continue;
            }
            auto over = [a](int fore, int behind) {
                return (fore * a + behind * (255 - a) + 127) / 255;
            };
            const QRgb solid =
                qRgb(over(qRed(in[x]), back.red()), over(qGreen(in[x]), back.green()),
                     over(qBlue(in[x]), back.blue()));
            out[x] = AwayFromKey(solid, key);
        }
    }
    return result;
}

QImage MakeMainBackground(const QColor& key) {
    return KeyedPanel({240, 89}, {6, 6, 6, 6}, QRectF(1, 1, 238, 87), {5, 5, 5, 5}, key,
                      [](QPainter& p) {
                          // The caption label sits on the band; it stays plain behind the text.
                          PaintTitleBand(p, QRectF(0, 0, 240, 25));
                          PaintBody(p, QRectF(0, 25, 240, 64));
                          p.fillRect(QRectF(0, 25, 240, 1), look::Outline);
                          p.fillRect(QRectF(0, 26, 240, 1), QColor(255, 255, 255, 20));
                          // The well behind the six large buttons and their captions.
                          p.setPen(QPen(QColor(8, 12, 14, 150), 1.0));
                          p.setBrush(Vertical(30, 85, look::Well, look::Well.lighter(112)));
                          p.drawRoundedRect(QRectF(4.5, 29.5, 231, 55), 4, 4);
                          p.setPen(QPen(QColor(255, 255, 255, 26), 1.0));
                          p.drawLine(QPointF(9, 85.5), QPointF(231, 85.5));
                      });
}

QImage MakeTitleBar(const QColor& key) {
    return KeyedPanel({240, 24}, {6, 6, 0, 0}, QRectF(1, 1, 238, 22), {5, 5, 0, 0}, key,
                      [](QPainter& p) { PaintTitleBand(p, QRectF(0, 0, 240, 23)); });
}

QImage MakeWindowBody(const QColor& key) {
    return KeyedPanel({240, 65}, {0, 0, 3, 3}, QRectF(1, 0, 238, 64), {0, 0, 2, 2}, key,
                      [](QPainter& p) {
                          PaintBody(p, QRectF(0, 0, 240, 64));
                          p.fillRect(QRectF(0, 0, 240, 1), QColor(255, 255, 255, 20));
                      });
}

QImage MakeProgramIcon(int size) {
    QImage image = Canvas(size, size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = size / 32.0;
    auto at = [s](double x, double y) { return QPointF(x * s, y * s); };
    // Lines grow with the larger sizes but never get thinner than a pixel.
    auto line = [s](double width) { return std::max(1.0, width * s); };
    const QColor ink(222, 238, 236);

    const double outline = line(1.0);
    p.setPen(QPen(look::Outline, outline));
    p.setBrush(Vertical(0, size, look::TitleTop.lighter(135), look::TitleBottom));
    p.drawRoundedRect(QRectF(outline / 2, outline / 2, size - outline, size - outline), 7 * s,
                      7 * s);

    // A screen on its stand...
    p.setBrush(QColor(14, 36, 38));
    p.setPen(QPen(ink, size >= 32 ? 1.8 * s : 1.0));
    p.drawRoundedRect(QRectF(at(5.5, 6.5), at(25.5, 21.5)), 2 * s, 2 * s);
    p.drawLine(at(15.5, 21.5), at(15.5, 25.5));
    p.drawLine(at(10.5, 26), at(20.5, 26));

    // ...being recorded.
    const QPointF dot = at(23.5, 22.5);
    const double radius = 6.2 * s;
    QRadialGradient red(dot - QPointF(2 * s, 2 * s), radius * 1.4);
    red.setColorAt(0.0, look::Record.lighter(140));
    red.setColorAt(1.0, look::Record.darker(120));
    p.setPen(QPen(look::Outline, size >= 32 ? 1.5 * s : 1.0));
    p.setBrush(red);
    p.drawEllipse(dot, radius, radius);
    p.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

} // namespace vardocle::skinart
