// A grab that keeps its last picture and reads again only what the server
// said changed must give, at every step, exactly what a whole grab of the
// same moment gives: windows shown, moved and closed, see-through windows
// composed, the picture drawn over by the recorder, and nothing at all.
// Before the X11 headers, whose None would clash with its own.
#include <gtest/gtest.h>

#include "platform/screen/X11Screen.h"
#include "tests/integration/capture/PrivateDesktopTest.h"

#include <cstring>
#include <functional>

using namespace vardocle;
using namespace vardocle::test;

namespace {

class PartialGrab : public TPrivateDesktopTest {
protected:
    // Both grabs of this moment; false where they differ in any pixel.
    void ExpectSameAsWholeGrab(const char* step, bool expectPartial) {
        XSync(FDesktop->Connection(), False);
        Kept.TakeChanges();
        Last = Kept.Grab();
        Whole.GrabWholeNext();
        const TScreenGrab whole = Whole.Grab();
        ASSERT_NE(Last.Pixels, nullptr) << step;
        ASSERT_EQ(Last.Width, whole.Width) << step;
        ASSERT_EQ(Last.Height, whole.Height) << step;
        long differing = 0;
        for (int y = 0; y < whole.Height; ++y)
            differing += std::memcmp(Last.Pixels + y * Last.Stride, whole.Pixels + y * whole.Stride,
                                     static_cast<std::size_t>(whole.Width) * 4) != 0;
        EXPECT_EQ(differing, 0) << step << ": rows that differ from a whole grab";
        const bool partial = Last.Changed.Bottom <= Last.Height;
        EXPECT_EQ(partial, expectPartial) << step;
        if (partial)
            PartialRows += Last.Changed.Bottom - Last.Changed.Top;
    }

    TX11Screen Kept{FServer.Name()};
    TX11Screen Whole{FServer.Name()};
    TScreenGrab Last;
    long PartialRows = 0;
};

} // namespace

TEST_F(PartialGrab, EveryStepEqualsAWholeGrabOfTheSameMoment) {
    for (const bool transparent : {true, false}) {
        SCOPED_TRACE(transparent ? "plain grab" : "see-through windows left out");
        Kept.SetCaptureTransparent(transparent);
        Whole.SetCaptureTransparent(transparent);
        Kept.GrabWholeNext();
        ExpectSameAsWholeGrab("first", false);
        const Window window =
            FDesktop->ShowWindow(TTestWindowKind::Opaque, {100, 100, 300, 200}, 0xFF0000);
        ExpectSameAsWholeGrab("window shown", true);
        FDesktop->MoveWindow(window, 600, 500);
        ExpectSameAsWholeGrab("window moved", true);
        // The recorder draws the cursor into the picture it was given.
        for (int y = 40; y < 72; ++y)
            std::memset(Last.Pixels + y * Last.Stride + 40 * 4, 0xFF, 32 * 4);
        Kept.DrawnOver({40, 40, 32, 32});
        ExpectSameAsWholeGrab("drawn over", true);
        EXPECT_LE(Last.Changed.Top, 40);
        EXPECT_GE(Last.Changed.Bottom, 72);
        FDesktop->HideWindow(window);
        ExpectSameAsWholeGrab("window closed", true);
        ExpectSameAsWholeGrab("nothing changed", true);
        EXPECT_TRUE(Last.Changed.Empty()) << "rows said to change on a still screen";
        const Window seeThrough =
            FDesktop->ShowWindow(TTestWindowKind::Argb, {200, 200, 400, 300}, 0x00FF00);
        // A see-through window changes how the frame is composed: read whole.
        ExpectSameAsWholeGrab("see-through window shown", transparent);
        FDesktop->MoveWindow(seeThrough, 900, 300);
        ExpectSameAsWholeGrab("see-through window moved", transparent);
        const Window above =
            FDesktop->ShowWindow(TTestWindowKind::Opaque, {1000, 350, 100, 100}, 0x0000FF);
        ExpectSameAsWholeGrab("window over the see-through one", transparent);
        FDesktop->HideWindow(above);
        FDesktop->HideWindow(seeThrough);
        ExpectSameAsWholeGrab("both closed", transparent);
        // Most of the screen drawn on: one whole read, yet only the rows
        // drawn on are said to change.
        const Window large =
            FDesktop->ShowWindow(TTestWindowKind::Opaque, {0, 0, 1800, 1000}, 0x808080);
        ExpectSameAsWholeGrab("most of the screen", true);
        EXPECT_EQ(Last.Changed.Bottom, 1000);
        FDesktop->HideWindow(large);
        ExpectSameAsWholeGrab("uncovered again", true);
    }
    EXPECT_GT(PartialRows, 0);
}
