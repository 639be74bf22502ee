// The pick overlay's events on a still shown at another scale than its
// pixels, the window mode, and the frame shown while recording.
#include "app/area/AreaOutline.h"
#include "app/area/uFrmAreaPick.h"

#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace vardocle {
namespace {

// A monitor's still twice as large as the overlay (a scaled desktop, or a
// stream frame shown full screen): what is chosen is in the still's pixels.
TEST(AreaPick, ARegionOnAStillIsInTheStillsPixels) {
    QImage still(1600, 1200, QImage::Format_RGB32);
    still.fill(Qt::darkGreen);
    TFrmAreaPick pick(still, QRect(0, 0, 800, 600), TAreaPickMode::Region);
    QTest::mousePress(&pick, Qt::LeftButton, {}, QPoint(100, 50));
    QTest::mouseMove(&pick, QPoint(200, 100));
    QTest::mouseRelease(&pick, Qt::LeftButton, {}, QPoint(300, 150));
    EXPECT_EQ(pick.Region(), (TScreenRect{200, 100, 400, 200}));
    QTest::keyClick(&pick, Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(pick.Region(), (TScreenRect{190, 100, 400, 200}));
}

TEST(AreaPick, AClickTakesTheWindowUnderThePointer) {
    QImage still(800, 600, QImage::Format_RGB32);
    still.fill(Qt::gray);
    std::vector<std::pair<int, int>> asked;
    TAreaWindows windows;
    windows.At = [&](int x, int y) -> std::optional<TListedWindow> {
        asked.emplace_back(x, y);
        if (x < 400)
            return TListedWindow{0x42, QStringLiteral("编辑器"), {0, 0, 400, 600}, true};
        return std::nullopt;
    };
    TFrmAreaPick pick(still, QRect(0, 0, 800, 600), TAreaPickMode::Window, std::nullopt, windows);
    QTest::mouseClick(&pick, Qt::LeftButton, {}, QPoint(600, 300));
    EXPECT_FALSE(pick.Window());
    QTest::mouseClick(&pick, Qt::LeftButton, {}, QPoint(120, 300));
    ASSERT_TRUE(pick.Window());
    EXPECT_EQ(pick.Window()->Id, 0x42u);
    EXPECT_EQ(asked.back(), std::make_pair(120, 300));
}

TEST(AreaOutline, TheBarsLieJustOutsideTheAreaAndGoWithTheWindow) {
    const TScreenRect area{100, 50, 640, 480};
    for (const TScreenRect& bar : OutlineBars(area, 3)) {
        EXPECT_TRUE(bar.Intersect(area).Empty());
        EXPECT_FALSE(bar.Intersect({97, 47, 646, 486}).Empty());
    }
    std::optional<TScreenRect> where = area;
    TAreaOutline outline([&] { return where; });
    EXPECT_EQ(outline.Bar(3)->geometry(), QRect(740, 50, 3, 480));
    EXPECT_TRUE(outline.Bar(0)->isVisible());
    where.reset();
    // The frame looks again on its timer; a loaded machine may take longer.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !outline.Bar(0)->isVisible(); }, 5000));
}

} // namespace
} // namespace vardocle
