// The rectangle pairs of the seam stretching, row by row of its tables.
#include "skin/PubFunc.h"

#include <gtest/gtest.h>

namespace vardocle {

// Readable failure messages for the rectangle pairs.
void PrintTo(const TStretchDraw& d, std::ostream* os) {
    *os << "(" << d.Source.X << "," << d.Source.Y << "," << d.Source.Width << "," << d.Source.Height
        << ")->(" << d.Dest.X << "," << d.Dest.Y << "," << d.Dest.Width << "," << d.Dest.Height
        << ")";
}

namespace {

using Draws = std::vector<TStretchDraw>;

// Frame columns [c0, c1) onto target columns [d0, d1) of a frame starting at
// picture column off, h rows high.
TStretchDraw Col(int off, int c0, int c1, int d0, int d1, int h) {
    return {{off + c0, 0, c1 - c0, h}, {d0, 0, d1 - d0, h}};
}
TStretchDraw Row(int W, int r0, int r1, int d0, int d1) {
    return {{0, r0, W, r1 - r0}, {0, d0, W, d1 - d0}};
}

TEST(StretchPlan, HorizontalTypesWiderTarget) {
    const int off = 40; // frame 2 of 20-pixel frames
    EXPECT_EQ(HorzStretchDraws(off, 20, 7, 50, hstNone), (Draws{Col(off, 0, 20, 0, 20, 7)}));
    EXPECT_EQ(HorzStretchDraws(off, 20, 7, 50, hstAll), (Draws{Col(off, 0, 20, 0, 50, 7)}));
    EXPECT_EQ(HorzStretchDraws(off, 20, 7, 50, hstLeft),
              (Draws{Col(off, 0, 1, 0, 31, 7), Col(off, 1, 20, 31, 50, 7)}));
    // Even frame: a two-column seam around the middle.
    EXPECT_EQ(
        HorzStretchDraws(off, 20, 7, 50, hstMiddle),
        (Draws{Col(off, 0, 9, 0, 9, 7), Col(off, 9, 11, 9, 41, 7), Col(off, 11, 20, 41, 50, 7)}));
    EXPECT_EQ(HorzStretchDraws(off, 20, 7, 50, hstRight),
              (Draws{Col(off, 0, 19, 0, 19, 7), Col(off, 19, 20, 19, 50, 7)}));
    EXPECT_TRUE(HorzStretchDraws(off, 20, 7, 50, hstCustom).empty());
    EXPECT_TRUE(HorzStretchDraws(off, 20, 7, 50, static_cast<THorzStretchType>(9)).empty());
}

TEST(StretchPlan, HorizontalTypesNarrowerTarget) {
    EXPECT_EQ(HorzStretchDraws(0, 20, 5, 8, hstLeft),
              (Draws{Col(0, 0, 1, 0, 1, 5), Col(0, 13, 20, 1, 8, 5)}));
    EXPECT_EQ(HorzStretchDraws(0, 20, 5, 8, hstMiddle),
              (Draws{Col(0, 0, 4, 0, 4, 5), Col(0, 16, 20, 4, 8, 5)}));
    EXPECT_EQ(HorzStretchDraws(0, 20, 5, 8, hstRight),
              (Draws{Col(0, 0, 7, 0, 7, 5), Col(0, 19, 20, 7, 8, 5)}));
    // Odd target: the right part takes the larger half from the frame's end.
    EXPECT_EQ(HorzStretchDraws(0, 20, 5, 7, hstMiddle),
              (Draws{Col(0, 0, 3, 0, 3, 5), Col(0, 16, 20, 3, 7, 5)}));
}

TEST(StretchPlan, FrameAsWideAsTargetIsCopiedUnchanged) {
    for (THorzStretchType type : {hstLeft, hstMiddle, hstRight}) {
        const Draws draws = HorzStretchDraws(30, 30, 4, 30, type);
        int covered = 0;
        for (const TStretchDraw& d : draws) {
            EXPECT_EQ(d.Source.Width, d.Dest.Width) << "type " << int(type);
            EXPECT_EQ(d.Source.X - 30, d.Dest.X) << "type " << int(type);
            covered += d.Dest.Width;
        }
        EXPECT_EQ(covered, 30) << "type " << int(type);
    }
    for (TVertStretchType type : {vstTop, vstCenter, vstBottom}) {
        int covered = 0;
        for (const TStretchDraw& d : VertStretchDraws(17, 40, 17, type)) {
            EXPECT_EQ(d.Source.Height, d.Dest.Height);
            EXPECT_EQ(d.Source.Y, d.Dest.Y);
            covered += d.Dest.Height;
        }
        EXPECT_EQ(covered, 17) << "type " << int(type);
    }
}

TEST(StretchPlan, TinyFramesAreAllSeam) {
    // One column stretched across; the second draw is empty.
    EXPECT_EQ(HorzStretchDraws(0, 1, 3, 10, hstLeft),
              (Draws{Col(0, 0, 1, 0, 10, 3), Col(0, 1, 1, 10, 10, 3)}));
    EXPECT_EQ(HorzStretchDraws(0, 1, 3, 10, hstRight),
              (Draws{Col(0, 0, 0, 0, 0, 3), Col(0, 0, 1, 0, 10, 3)}));
    EXPECT_EQ(HorzStretchDraws(0, 1, 3, 10, hstMiddle),
              (Draws{Col(0, 0, 0, 0, 0, 3), Col(0, 0, 1, 0, 10, 3), Col(0, 1, 1, 10, 10, 3)}));
    EXPECT_EQ(HorzStretchDraws(0, 2, 3, 10, hstMiddle),
              (Draws{Col(0, 0, 0, 0, 0, 3), Col(0, 0, 2, 0, 10, 3), Col(0, 2, 2, 10, 10, 3)}));
    EXPECT_EQ(HorzStretchDraws(0, 3, 3, 10, hstMiddle),
              (Draws{Col(0, 0, 1, 0, 1, 3), Col(0, 1, 2, 1, 9, 3), Col(0, 2, 3, 9, 10, 3)}));
}

TEST(StretchPlan, VerticalTypes) {
    EXPECT_EQ(VertStretchDraws(10, 30, 25, vstNone), (Draws{Row(30, 0, 10, 0, 10)}));
    EXPECT_EQ(VertStretchDraws(10, 30, 25, vstAll), (Draws{Row(30, 0, 10, 0, 25)}));
    EXPECT_EQ(VertStretchDraws(10, 30, 25, vstTop),
              (Draws{Row(30, 0, 1, 0, 16), Row(30, 1, 10, 16, 25)}));
    EXPECT_EQ(VertStretchDraws(10, 30, 25, vstCenter),
              (Draws{Row(30, 0, 4, 0, 4), Row(30, 4, 6, 4, 21), Row(30, 6, 10, 21, 25)}));
    // Odd height: a one-row seam.
    EXPECT_EQ(VertStretchDraws(9, 30, 25, vstCenter),
              (Draws{Row(30, 0, 4, 0, 4), Row(30, 4, 5, 4, 21), Row(30, 5, 9, 21, 25)}));
    EXPECT_EQ(VertStretchDraws(10, 30, 25, vstBottom),
              (Draws{Row(30, 0, 9, 0, 9), Row(30, 9, 10, 9, 25)}));
    EXPECT_EQ(VertStretchDraws(10, 30, 6, vstTop),
              (Draws{Row(30, 0, 1, 0, 1), Row(30, 5, 10, 1, 6)}));
    EXPECT_EQ(VertStretchDraws(10, 30, 7, vstCenter),
              (Draws{Row(30, 0, 3, 0, 3), Row(30, 6, 10, 3, 7)}));
    EXPECT_EQ(VertStretchDraws(10, 30, 6, vstBottom),
              (Draws{Row(30, 0, 5, 0, 5), Row(30, 9, 10, 5, 6)}));
    EXPECT_TRUE(VertStretchDraws(10, 30, 25, vstCustom).empty());
}

TEST(StretchPlan, BothNoneDrawsTheFrameDirectlyAtItsOwnSize) {
    const TStretchPlan plan = PlanStretchedFrame(12, {5, 3}, 3, 20, hstNone, vstNone);
    EXPECT_FALSE(plan.UsesIntermediate);
    EXPECT_EQ(plan.Direct, (Draws{{{60, 0, 20, 12}, {0, 0, 20, 12}}}));
    EXPECT_TRUE(plan.Horizontal.empty());
    EXPECT_TRUE(plan.Vertical.empty());
}

TEST(StretchPlan, MixedNoneGoesThroughTheIntermediate) {
    // None horizontally: the frame sits unscaled at the left, then is
    // stretched to the target height.
    TStretchPlan plan = PlanStretchedFrame(12, {50, 30}, 1, 20, hstNone, vstAll);
    EXPECT_TRUE(plan.UsesIntermediate);
    EXPECT_EQ(plan.Horizontal, (Draws{Col(20, 0, 20, 0, 20, 12)}));
    EXPECT_EQ(plan.Vertical, (Draws{Row(50, 0, 12, 0, 30)}));
    // Stretched to W but kept at its own height h.
    plan = PlanStretchedFrame(12, {50, 30}, 0, 20, hstAll, vstNone);
    EXPECT_EQ(plan.Horizontal, (Draws{Col(0, 0, 20, 0, 50, 12)}));
    EXPECT_EQ(plan.Vertical, (Draws{Row(50, 0, 12, 0, 12)}));
    // Custom on either axis leaves one pass empty: nothing reaches the target.
    plan = PlanStretchedFrame(12, {50, 30}, 0, 20, hstCustom, vstAll);
    EXPECT_TRUE(plan.Horizontal.empty());
    plan = PlanStretchedFrame(12, {50, 30}, 0, 20, hstAll, vstCustom);
    EXPECT_TRUE(plan.Vertical.empty());
}

} // namespace
} // namespace vardocle
