#include "app/area/AreaDrag.h"

#include <algorithm>
#include <cstdlib>

namespace vardocle {

namespace {

int Right(const TScreenRect& rect) {
    return rect.X + rect.Width;
}
int Bottom(const TScreenRect& rect) {
    return rect.Y + rect.Height;
}

TAreaPoint ClampPoint(TAreaPoint point, const TScreenRect& bounds) {
    return {std::clamp(point.X, bounds.X, Right(bounds)),
            std::clamp(point.Y, bounds.Y, Bottom(bounds))};
}

// One side's span between `low` and `high` when `moving` is one end and
// `fixed` the other: at least kMinSide, at most kMaxSide, within the bounds.
void MoveEdge(int& low, int& high, bool movingLow, int to, int boundLow, int boundHigh) {
    to = std::clamp(to, boundLow, boundHigh);
    if (movingLow)
        low = std::clamp(to, high - TAreaDrag::kMaxSide, high - TAreaDrag::kMinSide);
    else
        high = std::clamp(to, low + TAreaDrag::kMinSide, low + TAreaDrag::kMaxSide);
}

bool HasLeft(TAreaGrip grip) {
    return grip == TAreaGrip::Left || grip == TAreaGrip::TopLeft || grip == TAreaGrip::BottomLeft;
}
bool HasRight(TAreaGrip grip) {
    return grip == TAreaGrip::Right || grip == TAreaGrip::TopRight ||
           grip == TAreaGrip::BottomRight;
}
bool HasTop(TAreaGrip grip) {
    return grip == TAreaGrip::Top || grip == TAreaGrip::TopLeft || grip == TAreaGrip::TopRight;
}
bool HasBottom(TAreaGrip grip) {
    return grip == TAreaGrip::Bottom || grip == TAreaGrip::BottomLeft ||
           grip == TAreaGrip::BottomRight;
}

} // namespace

TAreaDrag::TAreaDrag(TScreenRect bounds, std::optional<TScreenRect> start) : FBounds(bounds) {
    if (start) {
        const TScreenRect inside = start->Intersect(FBounds);
        if (inside.Width >= kMinSide && inside.Height >= kMinSide)
            FRect = TScreenRect{inside.X, inside.Y, std::min(inside.Width, kMaxSide),
                                std::min(inside.Height, kMaxSide)};
    }
}

TAreaGrip TAreaDrag::GripAt(TAreaPoint point) const {
    if (!FRect)
        return TAreaGrip::None;
    const TScreenRect& rect = *FRect;
    // The margin shrinks on a small rectangle, so that its inside can still be held.
    const int margin = std::min(kGripMargin, std::min(rect.Width, rect.Height) / 3);
    const bool inX = point.X >= rect.X - margin && point.X <= Right(rect) + margin;
    const bool inY = point.Y >= rect.Y - margin && point.Y <= Bottom(rect) + margin;
    if (!inX || !inY)
        return TAreaGrip::None;
    const bool left = std::abs(point.X - rect.X) <= margin;
    const bool right = !left && std::abs(point.X - Right(rect)) <= margin;
    const bool top = std::abs(point.Y - rect.Y) <= margin;
    const bool bottom = !top && std::abs(point.Y - Bottom(rect)) <= margin;
    if (top)
        return left ? TAreaGrip::TopLeft : right ? TAreaGrip::TopRight : TAreaGrip::Top;
    if (bottom)
        return left ? TAreaGrip::BottomLeft : right ? TAreaGrip::BottomRight : TAreaGrip::Bottom;
    if (left)
        return TAreaGrip::Left;
    if (right)
        return TAreaGrip::Right;
    return TAreaGrip::Inside;
}

void TAreaDrag::Press(TAreaPoint point) {
    FPressed = ClampPoint(point, FBounds);
    FGrip = GripAt(point);
    FAtPress = FRect.value_or(TScreenRect{});
}

void TAreaDrag::Move(TAreaPoint point) {
    if (!FGrip)
        return;
    const TAreaPoint at = ClampPoint(point, FBounds);
    const TAreaGrip grip = *FGrip;
    if (grip == TAreaGrip::None) {
        // A new rectangle from the press to here, whichever way it was drawn.
        const int width = std::min(std::abs(at.X - FPressed.X), kMaxSide);
        const int height = std::min(std::abs(at.Y - FPressed.Y), kMaxSide);
        if (width < kMinSide || height < kMinSide)
            return;
        FRect = TScreenRect{at.X < FPressed.X ? FPressed.X - width : FPressed.X,
                            at.Y < FPressed.Y ? FPressed.Y - height : FPressed.Y, width, height};
        return;
    }
    if (grip == TAreaGrip::Inside) {
        TScreenRect moved = FAtPress;
        moved.X =
            std::clamp(FAtPress.X + at.X - FPressed.X, FBounds.X, Right(FBounds) - moved.Width);
        moved.Y =
            std::clamp(FAtPress.Y + at.Y - FPressed.Y, FBounds.Y, Bottom(FBounds) - moved.Height);
        FRect = moved;
        return;
    }
    // An edge or corner follows the pointer by as much as it moved since the
    // press (the press need not have been exactly on the edge).
    int left = FAtPress.X;
    int right = Right(FAtPress);
    int top = FAtPress.Y;
    int bottom = Bottom(FAtPress);
    const int dx = at.X - FPressed.X;
    const int dy = at.Y - FPressed.Y;
    if (HasLeft(grip))
        MoveEdge(left, right, true, FAtPress.X + dx, FBounds.X, Right(FBounds));
    if (HasRight(grip))
        MoveEdge(left, right, false, Right(FAtPress) + dx, FBounds.X, Right(FBounds));
    if (HasTop(grip))
        MoveEdge(top, bottom, true, FAtPress.Y + dy, FBounds.Y, Bottom(FBounds));
    if (HasBottom(grip))
        MoveEdge(top, bottom, false, Bottom(FAtPress) + dy, FBounds.Y, Bottom(FBounds));
    FRect = TScreenRect{left, top, right - left, bottom - top};
}

void TAreaDrag::Release(TAreaPoint point) {
    Move(point);
    FGrip.reset();
}

void TAreaDrag::Nudge(int dx, int dy) {
    if (!FRect || FGrip)
        return;
    FRect->X = std::clamp(FRect->X + dx, FBounds.X, Right(FBounds) - FRect->Width);
    FRect->Y = std::clamp(FRect->Y + dy, FBounds.Y, Bottom(FBounds) - FRect->Height);
}

} // namespace vardocle
