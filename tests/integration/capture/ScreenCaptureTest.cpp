// The X11 grab on real X servers: see-through windows are left out unless
// asked for, and only the primary monitor is recorded.
// Qt before Xlib: Xlib's macros break Qt's headers.
#include "tests/support/TestSupport.h"
#include <QProcess>

#include "platform/screen/X11Screen.h"
#include "tests/integration/capture/GrabCompare.h"
#include "tests/integration/capture/PrivateDesktopTest.h"
#include "tests/integration/capture/PrivateXServer.h"
#include "tests/integration/capture/TestDesktop.h"

#include <gtest/gtest.h>

using namespace vardocle;
using namespace vardocle::test;

namespace {

// A program started on a display, ended by its id when the test ends.
class TClientProgram {
public:
    TClientProgram(const QString& program, const QStringList& arguments,
                   const std::string& display) {
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DISPLAY", QString::fromStdString(display));
        FProcess.setProcessEnvironment(environment);
        FProcess.start(program, arguments);
        FProcess.waitForStarted(5000);
    }
    ~TClientProgram() {
        FProcess.kill();
        FProcess.waitForFinished(5000);
    }

private:
    QProcess FProcess;
};

class ScreenCapture : public TPrivateDesktopTest {
protected:
    // A couple of grabs: windows redirected off-screen by the first one have
    // their pictures from then on.
    TScreenGrab Settle(TX11Screen& screen) {
        screen.Grab();
        return screen.Grab();
    }
};

TEST_F(ScreenCapture, ShapedWindowOfAnotherProgramIsLeftOutUnlessAsked) {
    const TTestRect eyes{600, 300, 400, 300};
    TClientProgram xeyes("xeyes", {"-geometry", "400x300+600+300"}, FServer.Name());
    ASSERT_TRUE(FDesktop->WaitForWindow("xeyes", 10000)) << "xeyes did not show";

    TX11Screen screen(FServer.Name());
    ASSERT_TRUE(screen.TransparentExclusionAvailable());
    screen.SetCaptureTransparent(false);
    TScreenGrab grab = Settle(screen);
    ASSERT_EQ(grab.Width, 1920);
    ASSERT_EQ(grab.Height, 1080);
    EXPECT_GE(Psnr(grab, eyes, 0, 0, TTestDesktop::WallpaperPixel), 30.0);

    screen.SetCaptureTransparent(true);
    grab = screen.Grab();
    // The eyes' outlines and pupils are drawn over part of the window.
    EXPECT_LT(Psnr(grab, eyes, 0, 0, TTestDesktop::WallpaperPixel), 20.0);
    // Outside the eyes' shape the desktop shows through in both modes.
    EXPECT_EQ(PixelAt(grab, 601, 301), TTestDesktop::WallpaperPixel(601, 301));
}

TEST_F(ScreenCapture, EverySeeThroughKindIsLeftOutAndOpaqueWindowsStay) {
    const TTestRect opaque{100, 100, 700, 500};
    const std::uint32_t opaqueColour = 0x2060A0;
    FDesktop->ShowWindow(TTestWindowKind::Opaque, opaque, opaqueColour);
    // Three see-through windows, one partly over the opaque window.
    const TTestRect argb{600, 400, 400, 300};
    const TTestRect hinted{1100, 100, 300, 300};
    const TTestRect own{1300, 600, 400, 300};
    FDesktop->ShowWindow(TTestWindowKind::Argb, argb, 0xFF0000);
    FDesktop->ShowWindow(TTestWindowKind::OpacityHint, hinted, 0x00FF00);
    FDesktop->ShowWindow(TTestWindowKind::OwnProcess, own, 0xFFFF00);
    // An opaque window above a see-through one hides it, in both modes.
    const TTestRect above{1500, 800, 300, 200};
    FDesktop->ShowWindow(TTestWindowKind::Opaque, above, 0xFFFFFF);

    auto desktopAlone = [&](int x, int y) {
        if (x >= above.X && x < above.X + above.Width && y >= above.Y && y < above.Y + above.Height)
            return 0xFFFFFFu;
        if (x >= opaque.X && x < opaque.X + opaque.Width && y >= opaque.Y &&
            y < opaque.Y + opaque.Height)
            return opaqueColour;
        return TTestDesktop::WallpaperPixel(x, y);
    };

    TX11Screen screen(FServer.Name());
    screen.SetCaptureTransparent(false);
    const TScreenGrab grab = Settle(screen);
    for (const TTestRect& part : {opaque, argb, hinted, own, above})
        EXPECT_GE(Psnr(grab, part, 0, 0, desktopAlone), 30.0) << "at " << part.X << "," << part.Y;

    screen.SetCaptureTransparent(true);
    const TScreenGrab shown = screen.Grab();
    EXPECT_EQ(PixelAt(shown, hinted.X + 10, hinted.Y + 10), 0x00FF00u);
    EXPECT_EQ(PixelAt(shown, own.X + 10, own.Y + 10), 0xFFFF00u);
    EXPECT_EQ(PixelAt(shown, above.X + 10, above.Y + 10), 0xFFFFFFu);
    EXPECT_LT(Psnr(shown, argb, 0, 0, desktopAlone), 20.0);
}

TEST_F(ScreenCapture, OnlyThePrimaryMonitorIsGrabbedAndThePointerFollowsIt) {
    // The primary monitor is the right one, so its corner is not the root's.
    FDesktop->SetMonitors({{0, 0, 960, 1080}, {960, 0, 960, 1080}}, 1);
    FDesktop->MovePointer(1000, 100);

    TX11Screen screen(FServer.Name());
    screen.SetCaptureTransparent(true);
    TScreenGrab grab = screen.Grab();
    ASSERT_EQ(grab.Width, 960);
    ASSERT_EQ(grab.Height, 1080);
    EXPECT_GE(Psnr(grab, {0, 0, 960, 1080}, 960, 0, TTestDesktop::WallpaperPixel), 30.0);
    const TCursorImage cursor = screen.Cursor();
    EXPECT_EQ(cursor.X, 40);
    EXPECT_EQ(cursor.Y, 100);

    // The monitors are read anew for every grab.
    FDesktop->SetMonitors({{0, 0, 1280, 1024}, {1280, 0, 640, 480}}, 0);
    grab = screen.Grab();
    EXPECT_EQ(grab.Width, 1280);
    EXPECT_EQ(grab.Height, 1024);
    EXPECT_GE(Psnr(grab, {0, 0, 1280, 1024}, 0, 0, TTestDesktop::WallpaperPixel), 30.0);
}

TEST_F(ScreenCapture, TheRecordingHoldsOnlyThePrimaryMonitor) {
    FDesktop->SetMonitors({{0, 0, 960, 1080}, {960, 0, 960, 1080}}, 1);
    TempDir folder;
    const auto output = folder / "primary.avi";
    const auto result =
        RunProcess(QString::fromStdString((BinDir() / "vardocle-record").string()),
                   {QString::fromStdString(output.string()), "--seconds", "1", "--no-sound",
                    "--size", "960x1080", "--cursor", "off", "--codec", "lossless"},
                   std::chrono::seconds(60), {"DISPLAY=" + QString::fromStdString(FServer.Name())});
    ASSERT_EQ(result.ExitCode, 0) << result.Err.constData();

    const auto frame =
        RunProcess("ffmpeg", {"-v", "error", "-i", QString::fromStdString(output.string()),
                              "-frames:v", "1", "-f", "rawvideo", "-pix_fmt", "bgra", "-"});
    ASSERT_EQ(frame.Out.size(), 960 * 1080 * 4) << frame.Err.constData();
    TScreenGrab picture;
    picture.Pixels = reinterpret_cast<std::uint8_t*>(const_cast<char*>(frame.Out.constData()));
    picture.Width = 960;
    picture.Height = 1080;
    picture.Stride = std::ptrdiff_t{960} * 4;
    EXPECT_GE(Psnr(picture, {0, 0, 960, 1080}, 960, 0, TTestDesktop::WallpaperPixel), 30.0);
    // Against the left monitor's picture it is far off.
    EXPECT_LT(Psnr(picture, {0, 0, 960, 1080}, 0, 0, TTestDesktop::WallpaperPixel), 20.0);
}

} // namespace
