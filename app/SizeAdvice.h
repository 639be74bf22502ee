#pragma once
// What the settings window says beneath the size fields when the chosen size
// will not record as the user may expect: a shape that differs from the
// screen's (the picture is stretched), with one click to take the screen's
// shape, and an odd side that the codec records one pixel larger.
#include "platform/avifile/Compressors.h"

#include <QLabel>
#include <QSize>

#include <functional>

namespace vardocle {

// Whether a recording of `chosen` shows the screen stretched: the two shapes
// (width over height) differ by more than 1 %.
bool ShapeDiffers(QSize chosen, QSize screen);

// `chosen` in the screen's shape: its width kept and the height made to
// fit, or, where that height is out of range, the other way round.
QSize ScreenShapeFor(QSize chosen, QSize screen);

// The advice in plain words (rich text, the shape's link "shape"); empty when
// there is nothing to say.
QString SizeAdviceText(QSize chosen, QSize screen, TCodecKind codec);

class TSpinEdit;

class TSizeAdvice : public QLabel {
public:
    explicit TSizeAdvice(QWidget* parent);

    // Follows the two fields: says what there is to say for their size on
    // the screen `screen` gives, puts the screen's shape into them when its
    // link is clicked, and calls `resized` after its height changed.
    void Watch(TSpinEdit& width, TSpinEdit& height, const std::function<QSize()>& screen,
               std::function<void()> resized);
    // Says what there is to say for `chosen` on `screen`, hidden when nothing.
    void Update(QSize chosen, QSize screen, TCodecKind codec);
    // The height it takes when visible (0 when hidden), at its width.
    int NeededHeight() const;

private:
    std::function<void()> FTakeScreenShape;
};

} // namespace vardocle
