// Recording a chosen monitor or region on a real X server: the picture is the
// area pixel for pixel, only changes inside it count, the cursor is drawn
// only inside it, a part that leaves the screen turns black, and an area
// that is not there keeps the recording from starting.
// Qt before Xlib: Xlib's macros break Qt's headers.
#include "tests/support/TestSupport.h"

#include "platform/screen/X11Screen.h"
#include "tests/integration/capture/GrabCompare.h"
#include "tests/integration/capture/PrivateDesktopTest.h"

#include <QProcess>
#include <QThread>

#include <chrono>
#include <gtest/gtest.h>

using namespace vardocle;
using namespace vardocle::test;

namespace {

TCaptureArea Area(const std::string& text) {
    return *ParseCaptureArea(text);
}

class AreaCapture : public TPrivateDesktopTest {
protected:
    // vardocle-record with these arguments after the output file.
    ProcessResult Record(const std::filesystem::path& output, QStringList arguments) {
        arguments.prepend(QString::fromStdString(output.string()));
        arguments << "--seconds"
                  << "1"
                  << "--no-sound"
                  << "--cursor"
                  << "off";
        return RunProcess(QString::fromStdString((BinDir() / "vardocle-record").string()),
                          arguments, std::chrono::seconds(60),
                          {"DISPLAY=" + QString::fromStdString(FServer.Name())});
    }

    // The first picture of a recording, which must be width x height.
    static QByteArray FirstPicture(const std::filesystem::path& video, int width, int height) {
        const auto frame =
            RunProcess("ffmpeg", {"-v", "error", "-i", QString::fromStdString(video.string()),
                                  "-frames:v", "1", "-f", "rawvideo", "-pix_fmt", "bgra", "-"});
        EXPECT_EQ(frame.Out.size(), std::ptrdiff_t{width} * height * 4) << frame.Err.constData();
        return frame.Out;
    }

    static TScreenGrab AsGrab(QByteArray& pixels, int width, int height) {
        return {reinterpret_cast<std::uint8_t*>(pixels.data()), width, height,
                std::ptrdiff_t{width} * 4};
    }
};

TEST_F(AreaCapture, TheSecondMonitorAndARegionAreRecordedAtTheirOwnSize) {
    FDesktop->SetMonitors({{0, 0, 960, 1080}, {960, 0, 960, 1080}}, 0);
    TempDir folder;
    const auto monitor = folder / "monitor.avi";
    auto result = Record(monitor, {"--area", "monitor:test-monitor-1", "--codec", "lossless"});
    ASSERT_EQ(result.ExitCode, 0) << result.Err.constData();
    QByteArray pixels = FirstPicture(monitor, 960, 1080);
    ASSERT_EQ(pixels.size(), 960 * 1080 * 4);
    EXPECT_GE(
        Psnr(AsGrab(pixels, 960, 1080), {0, 0, 960, 1080}, 960, 0, TTestDesktop::WallpaperPixel),
        35.0);

    // Odd corner, lossless: every pixel is the screen's at its place, and the
    // frame shown around the region while recording is not in it.
    const auto region = folder / "region.avi";
    result = Record(region, {"--area", "region:333,211,400,300", "--codec", "lossless"});
    ASSERT_EQ(result.ExitCode, 0) << result.Err.constData();
    pixels = FirstPicture(region, 400, 300);
    ASSERT_EQ(pixels.size(), 400 * 300 * 4);
    EXPECT_GE(
        Psnr(AsGrab(pixels, 400, 300), {0, 0, 400, 300}, 333, 211, TTestDesktop::WallpaperPixel),
        99.0);
}

TEST_F(AreaCapture, AnAreaThatIsWrongOrNotThereLeavesNoFile) {
    FDesktop->SetMonitors({{0, 0, 960, 1080}, {960, 0, 960, 1080}}, 0);
    TempDir folder;
    const std::vector<std::pair<QString, int>> cases = {
        {"region:0,0,0,10", 2},       {"garbage", 2},      {"window:0x1", 1},
        {"region:1900,0,100,100", 1}, {"monitor:NOPE", 1}, {"region:-5,0,10,10", 1}};
    for (const auto& [area, status] : cases) {
        const auto output = folder / "bad.avi";
        const auto result = Record(output, {"--area", area});
        EXPECT_EQ(result.ExitCode, status) << area.toStdString() << ": " << result.Err.constData();
        EXPECT_TRUE(result.Err.contains("错误")) << area.toStdString();
        EXPECT_FALSE(std::filesystem::exists(output)) << area.toStdString();
    }
}

TEST_F(AreaCapture, OnlyWhatHappensInsideTheRegionCountsAndTheCursorIsDrawnOnlyThere) {
    TX11Screen screen(FServer.Name(), Area("region:1500,100,300,200"));
    screen.SetCaptureTransparent(true);
    FDesktop->MovePointer(1600, 150);
    screen.TakeChanges();
    TScreenGrab grab = screen.Grab();
    ASSERT_EQ(grab.Width, 300);
    ASSERT_EQ(grab.Height, 200);
    EXPECT_GE(Psnr(grab, {0, 0, 300, 200}, 1500, 100, TTestDesktop::WallpaperPixel), 99.0);
    TCursorImage cursor = screen.Cursor();
    EXPECT_TRUE(cursor.Visible);
    EXPECT_EQ(cursor.X, 100);
    EXPECT_EQ(cursor.Y, 50);

    Display* connection = FDesktop->Connection();
    const Window root = DefaultRootWindow(connection);
    const GC gc = XCreateGC(connection, root, 0, nullptr);
    XSetForeground(connection, gc, 0xFFFF00);
    XFillRectangle(connection, root, gc, 100, 100, 400, 400);
    XSync(connection, False);
    // The pointer just left of the region: its arrow would reach into it.
    FDesktop->MovePointer(1495, 150);
    TScreenChanges changes = screen.TakeChanges();
    EXPECT_FALSE(changes.Picture) << "drawn outside the region";
    EXPECT_TRUE(changes.Cursor) << "the pointer left the region";
    screen.Grab();
    EXPECT_FALSE(screen.Cursor().Visible);
    FDesktop->MovePointer(200, 200);
    EXPECT_FALSE(screen.TakeChanges().Cursor) << "moved outside the region";
    // More places than are listed one by one, on both sides of the region
    // but never in it: their bounds would cover it. Each its own request, as
    // the server counts the bounds of one request's rectangles as drawn.
    for (int i = 0; i < 40; ++i) {
        XFillRectangle(connection, root, gc, i % 2 ? 1400 : 1850, 100 + i * 5, 5, 4);
        XFlush(connection);
    }
    XSync(connection, False);
    EXPECT_FALSE(screen.TakeChanges().Picture) << "drawn in many places around the region";

    XFillRectangle(connection, root, gc, 1790, 290, 20, 20);
    XSync(connection, False);
    EXPECT_TRUE(screen.TakeChanges().Picture) << "drawn over the region's corner";
    grab = screen.Grab();
    EXPECT_EQ(PixelAt(grab, 295, 195), 0xFFFF00u);
    EXPECT_EQ(PixelAt(grab, 285, 185), TTestDesktop::WallpaperPixel(1785, 285));
    XFreeGC(connection, gc);
}

// An animation beside the region drawn through clip rectangles: the server
// reports the clip's bounds, over the region, so the region is read again,
// and its unchanged pixels must not make a frame, also under a cursor that
// stays where it was. A cursor that moves changes its old and new places.
TEST_F(AreaCapture, DrawingClippedAroundTheRegionIsReadAgainButIsNoChange) {
    Display* connection = FDesktop->Connection();
    const Window root = DefaultRootWindow(connection);
    const GC gc = XCreateGC(connection, root, 0, nullptr);
    XRectangle beside[] = {{1400, 100, 50, 200}, {1850, 100, 50, 200}};
    // What the recorder does with each grab: the cursor drawn, then compared.
    auto slot = [&](TX11Screen& screen, int cursorY) {
        EXPECT_TRUE(screen.TakeChanges().Picture) << "the server no longer reports the bounds";
        TScreenGrab grab = screen.Grab();
        for (int y = cursorY; y < cursorY + 16; ++y)
            std::memset(grab.Pixels + y * grab.Stride + 20 * 4, 0xEE, 16 * 4);
        grab.Changed.AddArea(20, cursorY, 16, 16);
        screen.DrawnOver({20, cursorY, 16, 16});
        screen.LeaveOnlyDiffering(grab);
        return grab.Changed;
    };
    auto drawBeside = [&] {
        XSetClipRectangles(connection, gc, 0, 0, beside, 2, Unsorted);
        XFillRectangle(connection, root, gc, 1400, 100, 500, 200);
        XSync(connection, False);
    };
    for (const bool composed : {false, true}) {
        TX11Screen screen(FServer.Name(), Area("region:1500,100,300,200"));
        screen.SetCaptureTransparent(!composed);
        screen.TakeChanges();
        screen.Grab();
        XSetForeground(connection, gc, composed ? 0x00FF00 : 0xFF0000);
        drawBeside();
        slot(screen, 40);
        drawBeside();
        EXPECT_TRUE(slot(screen, 40).Empty()) << "composed " << composed;
        drawBeside();
        const TChangedRows moved = slot(screen, 120);
        EXPECT_EQ(moved.Top, 40) << "composed " << composed;
        EXPECT_EQ(moved.Bottom, 136) << "composed " << composed;

        XSetClipMask(connection, gc, None);
        XFillRectangle(connection, root, gc, 1600, 150, 10, 10);
        XSync(connection, False);
        const TChangedRows drawn = slot(screen, 120);
        EXPECT_EQ(drawn.Top, 50) << "composed " << composed;
        EXPECT_EQ(drawn.Bottom, 60) << "composed " << composed;
    }
    XFreeGC(connection, gc);
}

TEST_F(AreaCapture, AMonitorThatLeavesMidRecordingTurnsBlackAndIsToldOnce) {
    FDesktop->SetMonitors({{0, 0, 960, 1080}, {960, 0, 960, 1080}}, 0);
    TX11Screen screen(FServer.Name(), Area("monitor:test-monitor-1"));
    screen.SetCaptureTransparent(true);
    int notices = 0;
    screen.SetNoticeHandler([&](const std::string&, const std::string&) { ++notices; });
    ASSERT_EQ(screen.Placement().Placement, TAreaPlacement::Whole);
    screen.Grab();

    // Moved partly past the screen's right edge: its left part stays.
    FDesktop->SetMonitors({{0, 0, 960, 1080}, {1600, 0, 640, 480}}, 0);
    screen.GrabWholeNext();
    TScreenGrab grab = screen.Grab();
    ASSERT_EQ(grab.Width, 640);
    ASSERT_EQ(grab.Height, 480);
    EXPECT_GE(Psnr(grab, {0, 0, 320, 480}, 1600, 0, TTestDesktop::WallpaperPixel), 99.0);
    EXPECT_GE(Psnr(grab, {320, 0, 320, 480}, 0, 0, [](int, int) { return 0u; }), 99.0);

    // Gone: the last size, all black.
    FDesktop->SetMonitors({{0, 0, 1920, 1080}}, 0);
    screen.GrabWholeNext();
    grab = screen.Grab();
    ASSERT_EQ(grab.Width, 640);
    EXPECT_GE(Psnr(grab, {0, 0, 640, 480}, 0, 0, [](int, int) { return 0u; }), 99.0);
    EXPECT_EQ(notices, 1);
}

} // namespace

// The command line's window: recorded at the window's own size when no size
// is asked for; a window that is not there is told and leaves no file.
TEST_F(AreaCapture, AWindowIsRecordedAtItsOwnSizeAndOneThatIsNotThereLeavesNoFile) {
    const Window window =
        FDesktop->ShowWindow(TTestWindowKind::Opaque, {200, 150, 320, 240}, 0x3080C0);
    XSync(FDesktop->Connection(), False);
    TempDir folder;
    const auto video = folder / "window.avi";
    auto result =
        Record(video, {"--area", "window:" + QString::number(window), "--codec", "lossless"});
    ASSERT_EQ(result.ExitCode, 0) << result.Err.constData();
    const QByteArray pixels = FirstPicture(video, 320, 240);
    ASSERT_EQ(pixels.size(), 320 * 240 * 4);
    long wrong = 0;
    for (qsizetype i = 0; i < pixels.size(); i += 4)
        wrong += std::abs(static_cast<std::uint8_t>(pixels[i]) - 0xC0) > 2 ||
                 std::abs(static_cast<std::uint8_t>(pixels[i + 1]) - 0x80) > 2 ||
                 std::abs(static_cast<std::uint8_t>(pixels[i + 2]) - 0x30) > 2;
    EXPECT_EQ(wrong, 0) << "pixels that are not the window's";

    const auto none = folder / "none.avi";
    result = Record(none, {"--area", "window:0x1"});
    EXPECT_EQ(result.ExitCode, 1) << result.Err.constData();
    EXPECT_TRUE(result.Err.contains("错误")) << result.Err.constData();
    EXPECT_FALSE(std::filesystem::exists(none));
}

// region:pick opens the overlay before anything is recorded: a drag and
// Return record that region at its own size; Esc records nothing.
TEST_F(AreaCapture, APickedRegionIsRecordedAndEscRecordsNothing) {
    TempDir folder;
    const QStringList display = {"DISPLAY=" + QString::fromStdString(FServer.Name())};
    const auto xdotool = [&](const QStringList& arguments) {
        return RunProcess("xdotool", arguments, std::chrono::seconds(10), display);
    };
    const auto pick = [&](const std::filesystem::path& output, const QStringList& keys) {
        QProcess recorder;
        EndWithTest(recorder);
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DISPLAY", QString::fromStdString(FServer.Name()));
        recorder.setProcessEnvironment(environment);
        recorder.start(QString::fromStdString((BinDir() / "vardocle-record").string()),
                       {QString::fromStdString(output.string()), "--area", "region:pick",
                        "--seconds", "1", "--no-sound", "--codec", "lossless"});
        bool shown = false;
        for (int i = 0; i < 100 && !shown; ++i) {
            shown = !xdotool({"search", "--onlyvisible", "--name", "选择录制范围"}).Out.isEmpty();
            QThread::msleep(100);
        }
        EXPECT_TRUE(shown) << "the overlay did not open";
        xdotool({"mousemove", "200", "100", "mousedown", "1"});
        xdotool({"mousemove", "300", "160"});
        xdotool({"mousemove", "440", "280", "mouseup", "1"});
        for (const QString& key : keys)
            xdotool({"key", key});
        EXPECT_TRUE(recorder.waitForFinished(30000));
        return recorder.exitCode();
    };
    const auto video = folder / "picked.avi";
    ASSERT_EQ(pick(video, {"Return"}), 0);
    const QByteArray pixels = FirstPicture(video, 240, 180);
    ASSERT_EQ(pixels.size(), 240 * 180 * 4);
    // The wallpaper of the region's place, not of the screen's corner.
    const auto* picture = reinterpret_cast<const std::uint8_t*>(pixels.constData());
    for (const auto& [x, y] :
         std::vector<std::pair<int, int>>{{0, 0}, {239, 0}, {0, 179}, {120, 90}}) {
        const std::uint32_t expected = TTestDesktop::WallpaperPixel(200 + x, 100 + y);
        const std::uint8_t* pixel = picture + (std::ptrdiff_t{y} * 240 + x) * 4;
        EXPECT_NEAR(pixel[0], expected & 0xFF, 2) << x << "," << y;
        EXPECT_NEAR(pixel[1], (expected >> 8) & 0xFF, 2) << x << "," << y;
        EXPECT_NEAR(pixel[2], (expected >> 16) & 0xFF, 2) << x << "," << y;
    }

    const auto cancelled = folder / "cancelled.avi";
    EXPECT_EQ(pick(cancelled, {"Escape"}), 1);
    EXPECT_FALSE(std::filesystem::exists(cancelled));
}
