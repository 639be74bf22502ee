// The composed frame (see-through windows left out) kept right as the desktop
// changes between frames, as the recorder scribbles on it, on a monitor away
// from the root's corner, and on a server that shares no memory with us.
// GoogleTest before Xlib, whose macros (None, Bool) break its headers.
#include <gtest/gtest.h>

#include "platform/screen/X11Screen.h"
#include "tests/integration/capture/GrabCompare.h"
#include "tests/integration/capture/PrivateDesktopTest.h"
#include "tests/integration/capture/PrivateXServer.h"
#include "tests/integration/capture/TestDesktop.h"

#include <cstring>

using namespace vardocle;
using namespace vardocle::test;

namespace {

bool Inside(const TTestRect& rect, int x, int y) {
    return x >= rect.X && x < rect.X + rect.Width && y >= rect.Y && y < rect.Y + rect.Height;
}

// Pixels of `part` that differ from what is expected there; the composed
// frame is made of plain copies, so none should.
long Mismatches(const TScreenGrab& grab, const TTestRect& part, int offsetX, int offsetY,
                const std::function<std::uint32_t(int, int)>& expected) {
    long count = 0;
    for (int y = part.Y; y < part.Y + part.Height; ++y)
        for (int x = part.X; x < part.X + part.Width; ++x)
            count += PixelAt(grab, x, y) != expected(x + offsetX, y + offsetY);
    return count;
}

class ComposedFrame : public TLaterDesktopTest {
protected:
};

TEST_F(ComposedFrame, FollowsWindowsThatMoveAppearAndGo) {
    Start();
    const TTestRect opaque{200, 200, 600, 400};
    FDesktop->ShowWindow(TTestWindowKind::Opaque, opaque, 0x2060A0);
    TTestRect own{700, 300, 400, 300};
    const Window recorder = FDesktop->ShowWindow(TTestWindowKind::OwnProcess, own, 0xFFFF00);
    std::vector<std::pair<TTestRect, std::uint32_t>> opaqueWindows{{opaque, 0x2060A0}};
    auto desktopAlone = [&](int x, int y) {
        std::uint32_t pixel = TTestDesktop::WallpaperPixel(x, y);
        for (const auto& [rect, colour] : opaqueWindows)
            if (Inside(rect, x, y))
                pixel = colour;
        return pixel;
    };
    const TTestRect whole{0, 0, 1920, 1080};

    TX11Screen screen(FServer->Name());
    screen.SetCaptureTransparent(false);
    screen.Grab();
    EXPECT_EQ(Mismatches(screen.Grab(), whole, 0, 0, desktopAlone), 0);

    // Moved: its new place is left out too.
    own = {1200, 600, 400, 300};
    FDesktop->MoveWindow(recorder, own.X, own.Y);
    EXPECT_EQ(Mismatches(screen.Grab(), whole, 0, 0, desktopAlone), 0);

    // A window opened where it stood before shows.
    const TTestRect opened{700, 300, 300, 200};
    FDesktop->ShowWindow(TTestWindowKind::Opaque, opened, 0x40C040);
    opaqueWindows.emplace_back(opened, 0x40C040);
    EXPECT_EQ(Mismatches(screen.Grab(), whole, 0, 0, desktopAlone), 0);

    // Closed: nothing left to leave out, the plain grab is the same picture.
    FDesktop->HideWindow(recorder);
    EXPECT_EQ(Mismatches(screen.Grab(), whole, 0, 0, desktopAlone), 0);
}

TEST_F(ComposedFrame, EveryPixelIsPaintedAfreshAfterTheRecorderDrewOnTheFrame) {
    Start();
    FDesktop->ShowWindow(TTestWindowKind::Argb, {300, 300, 800, 600}, 0xFF0000);
    FDesktop->ShowWindow(TTestWindowKind::OwnProcess, {1000, 100, 400, 300}, 0xFFFF00);
    TX11Screen screen(FServer->Name());
    screen.SetCaptureTransparent(false);
    for (int frame = 0; frame < 3; ++frame) {
        const TScreenGrab grab = screen.Grab();
        ASSERT_NE(grab.Pixels, nullptr);
        EXPECT_EQ(
            Mismatches(grab, {0, 0, grab.Width, grab.Height}, 0, 0, TTestDesktop::WallpaperPixel),
            0)
            << "frame " << frame;
        // The cursor is drawn into the frame; here, all over it.
        for (int y = 0; y < grab.Height; ++y)
            std::memset(grab.Pixels + y * grab.Stride, 0xFF,
                        static_cast<std::size_t>(grab.Width) * 4);
    }
}

TEST_F(ComposedFrame, OnAPrimaryMonitorAwayFromTheCorner) {
    Start();
    FDesktop->SetMonitors({{0, 0, 960, 1080}, {960, 0, 960, 1080}}, 1);
    const TTestRect opaque{1300, 400, 300, 300};
    FDesktop->ShowWindow(TTestWindowKind::Opaque, opaque, 0x2060A0);
    // Reaching over both monitors, and over the opaque window.
    FDesktop->ShowWindow(TTestWindowKind::OpacityHint, {800, 200, 600, 300}, 0x00FF00);
    auto desktopAlone = [&](int x, int y) {
        return Inside(opaque, x, y) ? 0x2060A0u : TTestDesktop::WallpaperPixel(x, y);
    };

    TX11Screen screen(FServer->Name());
    screen.SetCaptureTransparent(false);
    screen.Grab();
    const TScreenGrab grab = screen.Grab();
    ASSERT_EQ(grab.Width, 960);
    EXPECT_EQ(Mismatches(grab, {0, 0, 960, 1080}, 960, 0, desktopAlone), 0);
}

TEST_F(ComposedFrame, IsReadBackWhenTheServerSharesNoMemory) {
    Start({"-extension", "MIT-SHM"});
    const TTestRect own{500, 400, 400, 300};
    FDesktop->ShowWindow(TTestWindowKind::OwnProcess, own, 0xFFFF00);
    TX11Screen screen(FServer->Name());
    ASSERT_FALSE(screen.UsesSharedMemory());
    ASSERT_TRUE(screen.TransparentExclusionAvailable());

    screen.SetCaptureTransparent(false);
    screen.Grab();
    TScreenGrab grab = screen.Grab();
    EXPECT_EQ(Mismatches(grab, {0, 0, 1920, 1080}, 0, 0, TTestDesktop::WallpaperPixel), 0);
    screen.SetCaptureTransparent(true);
    grab = screen.Grab();
    EXPECT_EQ(PixelAt(grab, own.X + 10, own.Y + 10), 0xFFFF00u);
}

} // namespace
