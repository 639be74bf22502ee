#include "platform/screen/CaptureLayout.h"

#include <gtest/gtest.h>

using namespace vardocle;

namespace {

TEST(PrimaryMonitor, TheMarkedOneWinsWhereverItStands) {
    const std::vector<TMonitor> monitors{{{0, 0, 1920, 1080}, false},
                                         {{1920, 0, 1280, 1024}, true}};
    EXPECT_EQ(ChoosePrimaryMonitor(monitors, 3200, 1080), (TScreenRect{1920, 0, 1280, 1024}));
}

TEST(PrimaryMonitor, WithoutAMarkTheOneAtTheOriginThenTheFirstUsable) {
    EXPECT_EQ(ChoosePrimaryMonitor({{{1920, 0, 1280, 1024}, false}, {{0, 0, 1920, 1080}, false}},
                                   3200, 1080),
              (TScreenRect{0, 0, 1920, 1080}));
    EXPECT_EQ(ChoosePrimaryMonitor({{{5000, 0, 800, 600}, false}, {{100, 50, 800, 600}, false}},
                                   1920, 1080),
              (TScreenRect{100, 50, 800, 600}));
    // A marked monitor wholly off the root (stale after a resize) is passed over.
    EXPECT_EQ(
        ChoosePrimaryMonitor({{{4000, 0, 800, 600}, true}, {{0, 0, 1024, 768}, false}}, 1920, 1080),
        (TScreenRect{0, 0, 1024, 768}));
}

TEST(PrimaryMonitor, IsCutToTheRootAndFallsBackToIt) {
    EXPECT_EQ(ChoosePrimaryMonitor({{{1000, 500, 1920, 1080}, true}}, 1920, 1080),
              (TScreenRect{1000, 500, 920, 580}));
    EXPECT_EQ(ChoosePrimaryMonitor({}, 1920, 1080), (TScreenRect{0, 0, 1920, 1080}));
    EXPECT_EQ(ChoosePrimaryMonitor({{{0, 0, 0, 0}, true}}, 640, 480),
              (TScreenRect{0, 0, 640, 480}));
}

TEST(SeeThrough, AnyOneSignMakesAWindowSeeThroughButFullOpacityDoesNot) {
    EXPECT_FALSE(IsSeeThrough({}));
    EXPECT_FALSE(IsSeeThrough({false, false, 0xFFFFFFFFu, false}));
    EXPECT_TRUE(IsSeeThrough({false, false, 0xFFFFFFFEu, false}));
    EXPECT_TRUE(IsSeeThrough({false, false, 0u, false}));
    EXPECT_TRUE(IsSeeThrough({true, false, std::nullopt, false}));
    EXPECT_TRUE(IsSeeThrough({false, true, std::nullopt, false}));
    EXPECT_TRUE(IsSeeThrough({false, false, std::nullopt, true}));
}

TTopLevel Opaque(TScreenRect area) {
    TTopLevel window;
    window.Area = area;
    window.Viewable = true;
    return window;
}

TEST(PaintPlan, OnlyViewableOpaqueWindowsOnTheAreaArePaintedBottomFirst) {
    std::vector<TTopLevel> windows{Opaque({0, 0, 100, 100}),  Opaque({50, 50, 100, 100}),
                                   Opaque({5000, 0, 10, 10}), Opaque({20, 20, 30, 30}),
                                   Opaque({30, 30, 30, 30}),  Opaque({40, 40, 30, 30})};
    windows[3].Viewable = false;
    windows[4].InputOnlyWindow = true;
    windows[5].Look.ShapedBounding = true;
    const TPaintPlan plan = PlanPaint(windows, {0, 0, 1920, 1080});
    EXPECT_TRUE(plan.Background);
    ASSERT_EQ(plan.Steps.size(), 2u);
    EXPECT_EQ(plan.Steps[0].Window, 0u);
    EXPECT_EQ(plan.Steps[1].Window, 1u);
}

TEST(PaintPlan, WindowsAreCutToTheAreaWithMatchingSourceAndTarget) {
    // A window reaching past the area's top-left corner, and one inside it.
    const TPaintPlan plan =
        PlanPaint({Opaque({-30, 90, 200, 50}), Opaque({150, 120, 10, 10})}, {100, 100, 80, 60});
    ASSERT_EQ(plan.Steps.size(), 2u);
    const TPaintStep& cut = plan.Steps[0];
    EXPECT_EQ(cut.SourceX, 130);
    EXPECT_EQ(cut.SourceY, 10);
    EXPECT_EQ(cut.TargetX, 0);
    EXPECT_EQ(cut.TargetY, 0);
    EXPECT_EQ(cut.Width, 70);
    EXPECT_EQ(cut.Height, 40);
    const TPaintStep& inside = plan.Steps[1];
    EXPECT_EQ(inside.SourceX, 0);
    EXPECT_EQ(inside.TargetX, 50);
    EXPECT_EQ(inside.TargetY, 20);
    EXPECT_EQ(inside.Width, 10);
}

TEST(PaintPlan, AnOpaqueWindowCoveringTheAreaHidesEverythingBelowIt) {
    std::vector<TTopLevel> windows{Opaque({0, 0, 50, 50}), Opaque({0, 0, 1920, 1080}),
                                   Opaque({10, 10, 20, 20}), Opaque({0, 0, 1920, 1080})};
    // A see-through window over the whole area hides nothing.
    windows[3].Look.Opacity = 0x80000000u;
    const TPaintPlan plan = PlanPaint(windows, {0, 0, 1920, 1080});
    EXPECT_FALSE(plan.Background);
    ASSERT_EQ(plan.Steps.size(), 2u);
    EXPECT_EQ(plan.Steps[0].Window, 1u);
    EXPECT_EQ(plan.Steps[1].Window, 2u);
}

} // namespace
