#pragma once
// The shape of a skinned window: every pixel of its picture that has exactly
// the window's transparent colour is left out.
#include <QBitmap>
#include <QColor>
#include <QImage>

namespace vardocle {

class TnxPNGImage;

// A mask for QWidget::setMask: set bits are shown, key-coloured (opaque,
// exact RGB) pixels are not. Null for a null image.
QBitmap ColorKeyMask(const QImage& picture, QColor key);
QBitmap ColorKeyMask(const TnxPNGImage& picture, QColor key);

} // namespace vardocle
