#include "skin/ColorKeyMask.h"

#include <QPainter>

namespace vardocle {

QBitmap ColorKeyMask(const QImage& picture, QColor key) {
    if (picture.isNull())
        return {};
    const QImage pixels = picture.convertToFormat(QImage::Format_ARGB32);
    const QRgb keyRgb = key.rgb() | 0xFF000000u;
    QImage mask(pixels.size(), QImage::Format_MonoLSB);
    mask.setColorCount(2);
    mask.setColor(0, QColor(Qt::color0).rgba());
    mask.setColor(1, QColor(Qt::color1).rgba());
    for (int y = 0; y < pixels.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
        for (int x = 0; x < pixels.width(); ++x)
            mask.setPixel(x, y, line[x] == keyRgb ? 0 : 1);
    }
    return QBitmap::fromImage(mask);
}

QBitmap ShapeOfPictures(QSize size, QColor key, std::initializer_list<TPlacedPicture> pictures) {
    QImage face(size, QImage::Format_RGB32);
    face.fill(key);
    {
        QPainter painter(&face);
        for (const TPlacedPicture& placed : pictures)
            painter.drawImage(placed.Place, placed.Picture);
    }
    return ColorKeyMask(face, key);
}

} // namespace vardocle
