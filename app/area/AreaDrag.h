#pragma once
// How the rectangle of a region is drawn, grabbed and nudged on the pick
// overlay, decided without a display: which edge or corner the pointer
// holds, how far it may go, and what the arrow keys do. Points and the
// rectangle are in the picture's pixels, within Bounds.
#include "platform/screen/CaptureLayout.h"

#include <optional>

namespace vardocle {

enum class TAreaGrip {
    None, // outside the rectangle: a press starts a new one
    Inside,
    Left,
    Right,
    Top,
    Bottom,
    TopLeft,
    TopRight,
    BottomLeft,
    BottomRight,
};

struct TAreaPoint {
    int X = 0;
    int Y = 0;
};

class TAreaDrag {
public:
    // How near an edge (in pixels) the pointer grabs it.
    static constexpr int kGripMargin = 6;
    // The smallest rectangle kept; a shorter drag leaves the previous one.
    static constexpr int kMinSide = 4;
    // The largest side a recording's area may have.
    static constexpr int kMaxSide = 5000;

    explicit TAreaDrag(TScreenRect bounds, std::optional<TScreenRect> start = std::nullopt);

    const std::optional<TScreenRect>& Rect() const { return FRect; }
    const TScreenRect& Bounds() const { return FBounds; }
    // True while a button is held.
    bool Dragging() const { return FGrip.has_value(); }

    // What a press at `point` would take hold of.
    TAreaGrip GripAt(TAreaPoint point) const;
    void Press(TAreaPoint point);
    void Move(TAreaPoint point);
    void Release(TAreaPoint point);
    // An arrow key: moves the rectangle by (dx, dy) pixels, kept in Bounds.
    void Nudge(int dx, int dy);

private:
    TScreenRect FBounds;
    std::optional<TScreenRect> FRect;
    std::optional<TAreaGrip> FGrip;
    TAreaPoint FPressed;
    TScreenRect FAtPress; // the rectangle when the button went down
};

} // namespace vardocle
