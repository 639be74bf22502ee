#pragma once
// The pictograms on the buttons, drawn as shapes so they stay sharp at the
// small sizes of the title-bar buttons and need no font.
#include "tools/skin/SkinLook.h"

#include <QPainter>
#include <QRectF>

namespace vardocle::skinart {

enum class Icon {
    Record,
    Pause,
    Resume,
    Stop,
    SoundOn,
    SoundOff,
    History,
    Gear,
    Help,
    Minus,
    Close,
    Fold
};

// Draws the icon into box (a square) in the colours of the style.
void DrawIcon(QPainter& painter, Icon icon, const QRectF& box, const StateStyle& style);

} // namespace vardocle::skinart
