// Recording one window: its inside wherever it moves, at whatever size, with
// nothing that covers it (Composite) and black where it is off the screen
// (without Composite); the last picture while it is unmapped; the end of the
// recording when it closes; the list of windows and the window under a point.
// GoogleTest and Qt before Xlib, whose macros (None, Bool) break their headers.
#include "tests/support/TestSupport.h"

#include <QProcess>
#include <gtest/gtest.h>

#include "engine/RecordThread.h"
#include "platform/avifile/Compressors.h"
#include "platform/base/Errors.h"
#include "platform/screen/CaptureArea.h"
#include "platform/screen/X11WindowList.h"
#include "platform/screen/X11WindowScreen.h"
#include "tests/integration/capture/GrabCompare.h"
#include "tests/integration/capture/PrivateDesktopTest.h"
#include "tests/integration/capture/PrivateXServer.h"
#include "tests/integration/capture/TestDesktop.h"

#include <thread>

using namespace vardocle;
using namespace vardocle::test;
using namespace std::chrono_literals;

namespace {

constexpr std::uint32_t kColour = 0x3080C0;
constexpr std::uint32_t kCover = 0xE02010;

// Pixels of the grab that are not `colour`, row by row at the grab's stride.
long OtherPixels(const TScreenGrab& grab, std::uint32_t colour) {
    long count = 0;
    for (int y = 0; y < grab.Height; ++y)
        for (int x = 0; x < grab.Width; ++x)
            count += PixelAt(grab, x, y) != colour;
    return count;
}

class WindowScreen : public TLaterDesktopTest {
protected:
    Window Show(const TTestRect& area, std::uint32_t colour, const char* title) {
        const Window window = FDesktop->ShowWindow(TTestWindowKind::Opaque, area, colour);
        XStoreName(FDesktop->Connection(), window, title);
        XSync(FDesktop->Connection(), False);
        return window;
    }
    // xdotool on the test's own display, as a user's script would move windows.
    void XDoTool(const QStringList& arguments) {
        const auto result = RunProcess("xdotool", arguments, 10s,
                                       {"DISPLAY=" + QString::fromStdString(FServer->Name())});
        EXPECT_EQ(result.ExitCode, 0) << result.Err.constData();
    }
    void Sync() { XSync(FDesktop->Connection(), False); }
};

TEST_F(WindowScreen, FollowsItsWindowUncoveredMovedResizedAndUnmappedThenEnds) {
    Start();
    const Window window = Show({300, 200, 320, 240}, kColour, "window to record");
    TX11WindowScreen screen(static_cast<std::uint32_t>(window), FServer->Name());
    ASSERT_TRUE(screen.ReadsOwnPicture());
    EXPECT_EQ(screen.Placed(), (TScreenRect{300, 200, 320, 240}));
    TScreenGrab grab = screen.Grab();
    EXPECT_EQ(grab.Width, 320);
    EXPECT_EQ(grab.Height, 240);
    EXPECT_EQ(OtherPixels(grab, kColour), 0);
    // A still window is no change.
    screen.TakeChanges();
    EXPECT_FALSE(screen.TakeChanges().Picture);

    // Covered, partly off the screen, then at another (odd) size.
    Show({350, 250, 200, 100}, kCover, "cover");
    XMoveWindow(FDesktop->Connection(), window, 1800, 1000);
    Sync();
    EXPECT_TRUE(screen.TakeChanges().Picture);
    EXPECT_EQ(OtherPixels(screen.Grab(), kColour), 0);
    XResizeWindow(FDesktop->Connection(), window, 333, 177);
    Sync();
    EXPECT_TRUE(screen.TakeChanges().Picture);
    grab = screen.Grab();
    EXPECT_EQ(grab.Width, 333);
    EXPECT_EQ(grab.Height, 177);
    EXPECT_EQ(OtherPixels(grab, kColour), 0);

    // The cursor only inside, relative to the window.
    XMoveWindow(FDesktop->Connection(), window, 100, 100);
    FDesktop->MovePointer(110, 120);
    screen.TakeChanges();
    screen.Grab();
    TCursorImage cursor = screen.Cursor();
    EXPECT_TRUE(cursor.Visible);
    EXPECT_EQ(cursor.X, 10);
    EXPECT_EQ(cursor.Y, 20);
    FDesktop->MovePointer(90, 120);
    screen.TakeChanges();
    EXPECT_FALSE(screen.Cursor().Visible);

    // Unmapped (minimised): the last picture stays.
    FDesktop->HideWindow(window);
    screen.TakeChanges();
    grab = screen.Grab();
    EXPECT_EQ(grab.Width, 333);
    EXPECT_EQ(OtherPixels(grab, kColour), 0);

    XDestroyWindow(FDesktop->Connection(), window);
    Sync();
    EXPECT_THROW(screen.TakeChanges(), EScreenGone);
    EXPECT_THROW(screen.Grab(), EScreenGone);
}

TEST_F(WindowScreen, AWindowThatIsNotThereIsToldAsTheUserSeesIt) {
    Start();
    TCaptureArea area;
    area.Kind = TAreaKind::Window;
    area.Window = 0x1;
    try {
        TX11WindowScreen screen(0x1, FServer->Name());
        ADD_FAILURE() << "no such window, yet a screen";
    } catch (const EScreenGone&) {
        ADD_FAILURE() << "a window missing from the start is no ended recording";
    } catch (const Exception& error) {
        EXPECT_EQ(error.what(), AreaMissingMessage(area, TAreaPlacement::Gone));
    }
}

TEST_F(WindowScreen, WithoutCompositeItsPlaceOnTheScreenIsReadAndWhatIsOffTheScreenIsBlack) {
    Start({"-extension", "Composite"});
    const Window window = Show({1800, 300, 200, 100}, kColour, "window to record");
    TX11WindowScreen screen(static_cast<std::uint32_t>(window), FServer->Name());
    ASSERT_FALSE(screen.ReadsOwnPicture());
    TScreenGrab grab = screen.Grab();
    ASSERT_EQ(grab.Width, 200);
    EXPECT_EQ(OtherPixels(grab, kColour), 80 * 100); // the 80 columns past x = 1920
    EXPECT_EQ(PixelAt(grab, 119, 50), kColour);
    EXPECT_EQ(PixelAt(grab, 120, 50), 0u);
    XMoveWindow(FDesktop->Connection(), window, 40, 30);
    Sync();
    EXPECT_TRUE(screen.TakeChanges().Picture);
    EXPECT_EQ(OtherPixels(screen.Grab(), kColour), 0);
}

// A direct main thread: the capture thread runs its steps itself.
class TDirectInvoker : public IMainThreadInvoker {
public:
    void Invoke(const std::function<void()>& step) override { step(); }
    void Post(std::function<void()> step) override { step(); }
};

TEST_F(WindowScreen, ARecordingShowsOnlyTheWindowAsItMovesAndEndsCompleteWhenItCloses) {
    Start();
    const Window window = Show({300, 200, 320, 240}, kColour, "window to record");
    FDesktop->MovePointer(50, 50); // outside: no cursor in the picture
    SetConfiguredCodec(TCodecKind::Raw);
    TempDir folder;
    const std::string file = (folder / "window.avi").string();
    TDirectInvoker invoker;
    TRecordThread thread(
        file, TRect{0, 0, 160, 120}, "", 5,
        std::make_unique<TX11WindowScreen>(static_cast<std::uint32_t>(window), FServer->Name()),
        invoker);
    thread.SetRecordCursor(true);
    std::string reason;
    std::atomic<bool> ended{false};
    thread.OnScreenGone = [&](TRecordThread& sender, const std::string& why) {
        reason = why;
        sender.Terminate();
    };
    thread.OnRecordEnd = [&](TRecordThread&) { ended = true; };
    thread.Resume();
    const QString id = QString::number(window);
    std::this_thread::sleep_for(600ms);
    XDoTool({"windowmove", id, "900", "500"});
    std::this_thread::sleep_for(600ms);
    XDoTool({"windowsize", id, "500", "170"});
    Show({950, 550, 300, 200}, kCover, "cover");
    std::this_thread::sleep_for(600ms);
    XDoTool({"windowmove", id, "10", "900"});
    std::this_thread::sleep_for(600ms);
    XDestroyWindow(FDesktop->Connection(), window);
    Sync();
    thread.WaitFor();
    SetConfiguredCodec(TCodecKind::H264);
    EXPECT_TRUE(ended);
    EXPECT_EQ(reason, kRecordedWindowClosed);
    EXPECT_GE(thread.FramesWritten(), 4);

    // About 2.4 s at 5 slots a second, every slot played.
    EXPECT_GE(ProbeStream(file, "video")["nb_frames"].toString().toInt(), 10);
    const ProcessResult decoded =
        RunProcess("ffmpeg", {"-v", "error", "-i", QString::fromStdString(file), "-f", "rawvideo",
                              "-pix_fmt", "rgb24", "-"});
    ASSERT_EQ(decoded.ExitCode, 0) << decoded.Err.constData();
    const qsizetype frameBytes = 160 * 120 * 3;
    ASSERT_EQ(decoded.Out.size() % frameBytes, 0);
    const auto frames = static_cast<int>(decoded.Out.size() / frameBytes);
    EXPECT_GE(frames, 10);
    for (int n = 0; n < frames; ++n) {
        long wrong = 0;
        for (qsizetype i = n * frameBytes; i < (n + 1) * frameBytes; i += 3)
            wrong += std::abs(static_cast<std::uint8_t>(decoded.Out[i]) - 0x30) > 2 ||
                     std::abs(static_cast<std::uint8_t>(decoded.Out[i + 1]) - 0x80) > 2 ||
                     std::abs(static_cast<std::uint8_t>(decoded.Out[i + 2]) - 0xC0) > 2;
        EXPECT_EQ(wrong, 0) << "slot " << n;
    }
}

TEST_F(WindowScreen, TheWindowListAndThePointNameTheClientInsideTheManagersFrame) {
    Start();
    QProcess manager;
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DISPLAY", QString::fromStdString(FServer->Name()));
    manager.setProcessEnvironment(environment);
    manager.start("openbox", {"--sm-disable"});
    ASSERT_TRUE(manager.waitForStarted(5000)) << "openbox is missing";
    const Window window = Show({300, 200, 320, 240}, kColour, "plain name");
    const std::string title = "窗口 to record";
    XChangeProperty(
        FDesktop->Connection(), window, XInternAtom(FDesktop->Connection(), "_NET_WM_NAME", False),
        XInternAtom(FDesktop->Connection(), "UTF8_STRING", False), 8, PropModeReplace,
        reinterpret_cast<const unsigned char*>(title.data()), static_cast<int>(title.size()));
    FDesktop->ShowWindow(TTestWindowKind::OwnProcess, {0, 0, 1920, 1080}, kCover);
    std::vector<TWindowEntry> list;
    for (int tries = 0; tries < 100; ++tries) {
        list = ListTopLevelWindows(FServer->Name());
        if (!list.empty() && list.front().Area.X != 300)
            break;
        std::this_thread::sleep_for(50ms);
    }
    ASSERT_EQ(list.size(), 1u) << "our own window is left out, not " << list.back().Title;
    EXPECT_EQ(list[0].Window, window);
    EXPECT_EQ(list[0].Title, title);
    EXPECT_EQ(list[0].Area.Width, 320);
    const TScreenRect area = list[0].Area;
    // The frame's title bar is above the inside: a point on it picks the
    // window too, the desktop beside it nothing. The manager may still be
    // putting its frame together when the window has moved into it.
    Window picked = 0;
    for (int tries = 0; tries < 40 && picked != window; ++tries) {
        picked = ClientWindowAt(area.X + 5, area.Y - 5, FServer->Name());
        if (picked != window)
            std::this_thread::sleep_for(50ms);
    }
    EXPECT_EQ(picked, window);
    EXPECT_EQ(ClientWindowAt(area.X + area.Width + 50, area.Y, FServer->Name()), 0u);

    // Recorded by its frame's id: the inside alone, without the frame.
    Window root = 0;
    Window frame = 0;
    Window* children = nullptr;
    unsigned count = 0;
    XQueryTree(FDesktop->Connection(), window, &root, &frame, &children, &count);
    if (children)
        XFree(children);
    ASSERT_NE(frame, root) << "the window manager did not frame the window";
    TX11WindowScreen screen(static_cast<std::uint32_t>(frame), FServer->Name());
    EXPECT_EQ(screen.FollowedWindow(), window);
    const TScreenGrab grab = screen.Grab();
    EXPECT_EQ(grab.Width, 320);
    EXPECT_EQ(OtherPixels(grab, kColour), 0);
    manager.terminate();
    manager.waitForFinished();
}

} // namespace
