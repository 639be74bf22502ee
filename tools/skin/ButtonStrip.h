#pragma once
// Button pictures: five frames side by side (normal, hot, down, checked,
// disabled), each a rounded tile with a pictogram.
#include "tools/skin/SkinIcons.h"

#include <QImage>
#include <QSize>

namespace vardocle::skinart {

enum class ButtonTone { Plain, Danger };

QImage MakeButtonStrip(QSize frame, Icon icon, ButtonTone tone = ButtonTone::Plain);

// One frame alone, transparent around the tile.
void DrawButtonFrame(QPainter& painter, const QRectF& frame, Icon icon, FrameState state,
                     ButtonTone tone);

} // namespace vardocle::skinart
