#pragma once
// The shape of a skinned window: every pixel of its picture that has exactly
// the window's transparent colour is left out.
#include <QBitmap>
#include <QColor>
#include <QImage>
#include <QRect>
#include <QSize>

#include <initializer_list>

namespace vardocle {

// A mask for QWidget::setMask: set bits are shown, key-coloured (opaque,
// exact RGB) pixels are not. Null for a null image.
QBitmap ColorKeyMask(const QImage& picture, QColor key);

// A picture as a window shows it: scaled into `Place`.
struct TPlacedPicture {
    QRect Place;
    QImage Picture;
};

// The shape of a window of `size` whose pictures, painted in order over its
// key colour, are all it shows.
QBitmap ShapeOfPictures(QSize size, QColor key, std::initializer_list<TPlacedPicture> pictures);

} // namespace vardocle
