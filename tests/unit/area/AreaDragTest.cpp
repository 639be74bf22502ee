// Drawing, grabbing and nudging the region on the pick overlay.
#include "app/area/AreaDrag.h"

#include <gtest/gtest.h>

namespace vardocle {

inline void PrintTo(const TScreenRect& r, std::ostream* out) {
    *out << r.X << "," << r.Y << " " << r.Width << "x" << r.Height;
}

namespace {

const TScreenRect kScreen{0, 0, 1920, 1080};

TScreenRect Drag(TAreaDrag& drag, TAreaPoint from, TAreaPoint to) {
    drag.Press(from);
    drag.Move({(from.X + to.X) / 2, (from.Y + to.Y) / 2});
    drag.Release(to);
    return drag.Rect().value_or(TScreenRect{});
}

TEST(AreaDrag, ARectangleIsDrawnEitherWayAndKeptInsideTheScreen) {
    TAreaDrag drag(kScreen);
    EXPECT_EQ(Drag(drag, {100, 200}, {900, 800}), (TScreenRect{100, 200, 800, 600}));
    // Drawn up and to the left.
    TAreaDrag back(kScreen);
    EXPECT_EQ(Drag(back, {900, 800}, {100, 200}), (TScreenRect{100, 200, 800, 600}));
    // Past the screen's edge: cut at the edge.
    TAreaDrag past(kScreen);
    EXPECT_EQ(Drag(past, {1800, 1000}, {2500, 1500}), (TScreenRect{1800, 1000, 120, 80}));
    // A click (or a tiny drag) outside keeps the rectangle there was.
    EXPECT_EQ(Drag(drag, {1500, 50}, {1502, 51}), (TScreenRect{100, 200, 800, 600}));
}

TEST(AreaDrag, NoSideGrowsPastTheLargestVideoSize) {
    TAreaDrag drag({0, 0, 7680, 2160});
    EXPECT_EQ(Drag(drag, {0, 0}, {7680, 2160}), (TScreenRect{0, 0, 5000, 2160}));
    EXPECT_EQ(Drag(drag, {5000, 1000}, {7000, 1000}), (TScreenRect{0, 0, 5000, 2160}));
    // The left edge dragged leftwards from a right-hand rectangle stops at 5000 too.
    TAreaDrag wide({0, 0, 7680, 2160}, TScreenRect{4000, 0, 3000, 100});
    EXPECT_EQ(Drag(wide, {4000, 50}, {0, 50}), (TScreenRect{2000, 0, 5000, 100}));
}

TEST(AreaDrag, EdgesAndCornersAreGrabbedNearThemAndTheInsideMovesTheRectangle) {
    TAreaDrag drag(kScreen, TScreenRect{100, 100, 400, 300});
    EXPECT_EQ(drag.GripAt({100, 250}), TAreaGrip::Left);
    EXPECT_EQ(drag.GripAt({503, 250}), TAreaGrip::Right);
    EXPECT_EQ(drag.GripAt({300, 97}), TAreaGrip::Top);
    EXPECT_EQ(drag.GripAt({300, 400}), TAreaGrip::Bottom);
    EXPECT_EQ(drag.GripAt({98, 402}), TAreaGrip::BottomLeft);
    EXPECT_EQ(drag.GripAt({500, 100}), TAreaGrip::TopRight);
    EXPECT_EQ(drag.GripAt({300, 250}), TAreaGrip::Inside);
    EXPECT_EQ(drag.GripAt({600, 250}), TAreaGrip::None);

    // The right edge, grabbed 3 px off it, moves by as much as the pointer.
    EXPECT_EQ(Drag(drag, {503, 250}, {603, 260}), (TScreenRect{100, 100, 500, 300}));
    // The bottom-left corner: two sides at once.
    EXPECT_EQ(Drag(drag, {100, 400}, {50, 500}), (TScreenRect{50, 100, 550, 400}));
    // An edge pushed past the opposite one stops at the smallest size.
    EXPECT_EQ(Drag(drag, {50, 300}, {900, 300}),
              (TScreenRect{600 - TAreaDrag::kMinSide, 100, TAreaDrag::kMinSide, 400}));
    // The inside moves it whole, and it stays on the screen with its size.
    TAreaDrag move(kScreen, TScreenRect{100, 100, 400, 300});
    EXPECT_EQ(Drag(move, {300, 250}, {2000, 2000}), (TScreenRect{1520, 780, 400, 300}));
}

TEST(AreaDrag, ArrowKeysMoveTheRectangleWithinTheScreenOnly) {
    TAreaDrag drag(kScreen, TScreenRect{10, 10, 400, 300});
    drag.Nudge(1, 0);
    drag.Nudge(0, -10);
    EXPECT_EQ(drag.Rect(), (TScreenRect{11, 0, 400, 300}));
    for (int i = 0; i < 200; ++i)
        drag.Nudge(10, 10);
    EXPECT_EQ(drag.Rect(), (TScreenRect{1520, 780, 400, 300}));
    // Nothing to move before a rectangle is drawn.
    TAreaDrag empty(kScreen);
    empty.Nudge(5, 5);
    EXPECT_FALSE(empty.Rect());
}

TEST(AreaDrag, AStartingRegionOffTheScreenIsCutToItOrDropped) {
    EXPECT_EQ(TAreaDrag(kScreen, TScreenRect{1800, 1000, 400, 300}).Rect(),
              (TScreenRect{1800, 1000, 120, 80}));
    EXPECT_FALSE(TAreaDrag(kScreen, TScreenRect{3000, 0, 400, 300}).Rect());
}

} // namespace
} // namespace vardocle
