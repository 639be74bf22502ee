// The X11 screen tells what changed between frames from the server's own
// notifications, on a real X server: drawing, windows, the pointer, the
// cursor's picture and the monitors; and nothing when nothing happened.
#include "tests/support/TestSupport.h"
#include <QThread>

#include "platform/screen/X11Screen.h"
#include "tests/integration/capture/PrivateDesktopTest.h"
#include "tests/integration/capture/TestDesktop.h"

#include <X11/Xlib.h>
#include <X11/cursorfont.h>
#include <gtest/gtest.h>

using namespace vardocle;
using namespace vardocle::test;

namespace {

class ChangeWatch : public TPrivateDesktopTest {
protected:
    void SetUp() override {
        TPrivateDesktopTest::SetUp();
        if (HasFatalFailure())
            return;
        FScreen = std::make_unique<TX11Screen>(FServer.Name());
        ASSERT_TRUE(FScreen->TellsChanges());
    }

    // Asks and grabs as a recording does; returns what the screen said.
    TScreenChanges Frame() {
        const TScreenChanges changes = FScreen->TakeChanges();
        FScreen->Grab();
        FScreen->Cursor();
        return changes;
    }

    void ExpectStill(const char* after) {
        const TScreenChanges changes = Frame();
        EXPECT_FALSE(changes.Picture) << "nothing was drawn after " << after;
        EXPECT_FALSE(changes.Cursor) << "the pointer stayed after " << after;
    }

    std::unique_ptr<TX11Screen> FScreen;
};

TEST_F(ChangeWatch, ReportsDrawingWindowsPointerAndCursorOnlyWhenTheyHappen) {
    EXPECT_TRUE(Frame().Picture) << "the first frame is always new";
    ExpectStill("the first frame");

    const Window window =
        FDesktop->ShowWindow(TTestWindowKind::Opaque, {100, 100, 300, 200}, 0x2080C0);
    EXPECT_TRUE(Frame().Picture) << "a window was mapped";
    ExpectStill("the window was mapped");

    FDesktop->MoveWindow(window, 500, 300);
    EXPECT_TRUE(Frame().Picture) << "a window was moved";
    ExpectStill("the window was moved");

    // A client drawing into its own window.
    Display* connection = FDesktop->Connection();
    const GC gc = XCreateGC(connection, window, 0, nullptr);
    XSetForeground(connection, gc, 0xFFFF00);
    XFillRectangle(connection, window, gc, 10, 10, 20, 20);
    XSync(connection, False);
    EXPECT_TRUE(Frame().Picture) << "a client drew into its window";
    ExpectStill("the drawing");

    FDesktop->MovePointer(700, 500);
    TScreenChanges changes = Frame();
    EXPECT_TRUE(changes.Cursor) << "the pointer moved";
    EXPECT_FALSE(changes.Picture) << "moving the pointer draws nothing";

    const Cursor watch = XCreateFontCursor(connection, XC_watch);
    XDefineCursor(connection, DefaultRootWindow(connection), watch);
    XSync(connection, False);
    EXPECT_TRUE(Frame().Cursor) << "the cursor took another picture";
    ExpectStill("the cursor changed");

    FDesktop->HideWindow(window);
    EXPECT_TRUE(Frame().Picture) << "a window was closed";
    ExpectStill("the window was closed");

    // Monitors made by hand come without a notification: they are found by
    // reading the layout again now and then.
    FScreen->SetLayoutCheckInterval(std::chrono::milliseconds(100));
    FDesktop->SetMonitors({{0, 0, 960, 1080}, {960, 0, 960, 1080}}, 1);
    QThread::msleep(150);
    changes = Frame();
    EXPECT_TRUE(changes.Picture) << "the monitors changed";
    EXPECT_EQ(FScreen->Grab().Width, 960) << "the new primary monitor is grabbed";
    XFreeCursor(connection, watch);
    XFreeGC(connection, gc);
}

TEST_F(ChangeWatch, DrawingBeneathAComposedFrameIsNoticedToo) {
    // A see-through window makes the grab compose the frame from the windows'
    // own pictures; drawing in an opaque window must still be seen.
    FDesktop->ShowWindow(TTestWindowKind::Argb, {800, 400, 300, 300}, 0xFF0000);
    const Window window =
        FDesktop->ShowWindow(TTestWindowKind::Opaque, {100, 100, 300, 200}, 0x2080C0);
    FScreen->SetCaptureTransparent(false);
    Frame();
    Frame();
    ExpectStill("the windows settled");
    Display* connection = FDesktop->Connection();
    const GC gc = XCreateGC(connection, window, 0, nullptr);
    XSetForeground(connection, gc, 0x00FF00);
    XFillRectangle(connection, window, gc, 0, 0, 50, 50);
    XSync(connection, False);
    const TScreenChanges changes = FScreen->TakeChanges();
    EXPECT_TRUE(changes.Picture);
    const TScreenGrab grab = FScreen->Grab();
    const auto* row = reinterpret_cast<const std::uint32_t*>(grab.Pixels + 120 * grab.Stride);
    EXPECT_EQ(row[120] & 0xFFFFFF, 0x00FF00u) << "the drawing is in the grab";
    XFreeGC(connection, gc);
}

} // namespace
