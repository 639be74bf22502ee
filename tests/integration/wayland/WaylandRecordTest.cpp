// vardocle-record on a Wayland desktop: the screen through the desktop's
// portal and PipeWire, read back from the AVI file. The desktop's output is
// 1280x720 with gaps of 60 pixels around the windows, so its background shows
// at the edges. Tests run in this order: the last ones stop the portal.
#include "tests/integration/wayland/WaylandDesktop.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <fstream>

using namespace vardocle::test;
namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;

QString Q(const fs::path& path) {
    return QString::fromStdString(path.string());
}

QStringList RecordArguments(const fs::path& file, double seconds, int rate) {
    return {Q(file),
            "--seconds",
            QString::number(seconds),
            "--rate",
            QString::number(rate),
            "--size",
            "1280x720",
            "--codec",
            "raw",
            "--no-sound"};
}

class WaylandRecord : public ::testing::Test {
protected:
    void SetUp() override {
        VARDOCLE_REQUIRE_WAYLAND();
        PaintBackground("#ff0000");
    }
    TempDir Dir;
};

} // namespace

TEST_F(WaylandRecord, TheBackgroundAWaylandAndAnXwaylandWindowHaveTheirColoursAtTheirPlaces) {
    TClients clients;
    ASSERT_TRUE(clients.StartSolidTerminal("00ff00"));
    clients.Start("xlogo", {"-bg", "#ff00ff", "-fg", "#ff00ff"});
    ASSERT_TRUE(clients.WaitForWindow("XLogo"));
    const auto file = Dir / "colours.avi";
    TRecorderRun run(RecordArguments(file, 3, 2));
    ASSERT_GE(run.WaitForElapsed(0.5), 0) << run.Errors().toStdString();
    PaintBackground("#ff0000"); // damage: the desktop sends a picture only after a change
    ASSERT_EQ(run.Finish(), 0) << run.Errors().toStdString();
    EXPECT_TRUE(run.Output().contains("screen: portal")) << run.Output().toStdString();

    const auto frames = DecodeFrames(file, kWidth, kHeight);
    ASSERT_FALSE(frames.empty()) << run.Errors().toStdString();
    const TDecodedFrame& last = frames.back();
    // Background at the corners (gaps), foot on the left half, xlogo on the right.
    for (const auto& [x, y] :
         std::vector<std::pair<int, int>>{{5, 5}, {1274, 5}, {5, 714}, {1274, 714}, {640, 20}})
        EXPECT_TRUE(Near(PixelAt(last, kWidth, x, y), 0xFF0000))
            << x << "," << y << ": " << std::hex << PixelAt(last, kWidth, x, y);
    EXPECT_TRUE(Near(PixelAt(last, kWidth, 350, 400), 0x00FF00))
        << std::hex << PixelAt(last, kWidth, 350, 400);
    EXPECT_TRUE(Near(PixelAt(last, kWidth, 930, 400), 0xFF00FF))
        << std::hex << PixelAt(last, kWidth, 930, 400);
}

TEST_F(WaylandRecord, AStillScreenRecordsItsWholeTimeAndAChangeAppearsInItsSlot) {
    const auto file = Dir / "still.avi";
    const int rate = 2;
    TRecorderRun run(RecordArguments(file, 7, rate));
    ASSERT_GE(run.WaitForElapsed(0.5), 0) << run.Errors().toStdString();
    PaintBackground("#800000");
    // Then nothing changes for about three seconds: the desktop sends nothing.
    const double changedAt = run.WaitForElapsed(3.5);
    ASSERT_GE(changedAt, 0);
    PaintBackground("#0000ff");
    ASSERT_EQ(run.Finish(), 0) << run.Errors().toStdString();

    const auto video = ProbeStream(file, "video");
    const int slotCount = video["nb_frames"].toString().toInt();
    EXPECT_NEAR(slotCount, 7 * rate, 1) << "the video does not last the recording's time";
    const auto frames = DecodeFrames(file, kWidth, kHeight);
    ASSERT_FALSE(frames.empty());
    // The compositor shows its own grey for a moment while it swaps backgrounds.
    const std::uint32_t swapping = 0x3F3F3F;
    std::int64_t firstChanged = -1;
    bool stillShown = false;
    for (const auto& frame : frames) {
        const std::uint32_t colour = PixelAt(frame, kWidth, 640, 360);
        if (Near(colour, 0x0000FF) || (stillShown && firstChanged < 0 && Near(colour, swapping))) {
            if (firstChanged < 0)
                firstChanged = frame.Slot;
            continue;
        }
        // The desktop's first picture may still show what the test before
        // left; from the still screen's own picture on, every slot repeats it.
        stillShown = stillShown || Near(colour, 0x800000);
        if (stillShown) {
            EXPECT_TRUE(firstChanged < 0 && Near(colour, 0x800000))
                << "slot " << frame.Slot << ": " << std::hex << colour;
        }
    }
    EXPECT_TRUE(stillShown) << "the still screen's picture was never recorded";
    const auto earliest = static_cast<std::int64_t>(std::floor(changedAt * rate));
    EXPECT_GE(firstChanged, earliest) << "changed at " << changedAt << " s";
    EXPECT_LE(firstChanged, earliest + 2) << "changed at " << changedAt << " s";
    EXPECT_TRUE(Near(PixelAt(frames.back(), kWidth, 640, 360), 0x0000FF));
    EXPECT_GE(frames.back().Slot, slotCount - 2);
}

TEST_F(WaylandRecord, AnOutputResizedMidRecordingIsScaledToTheRecordingsSize) {
    const auto file = Dir / "resize.avi";
    TRecorderRun run(RecordArguments(file, 5, 2));
    ASSERT_GE(run.WaitForElapsed(0.5), 0) << run.Errors().toStdString();
    PaintBackground("#ff0000");
    ASSERT_GE(run.WaitForElapsed(1.5), 0);
    Sway({"output", "HEADLESS-1", "resolution", "1024x768", "bg", "#00ffff", "solid_color"});
    // The picture that shows the size change is dropped by the desktop while
    // it agrees on the new size; the next change comes at the new size.
    ASSERT_GE(run.WaitForElapsed(3.0), 0);
    PaintBackground("#00fff0");
    const int status = run.Finish();
    Sway({"output", "HEADLESS-1", "resolution", "1280x720", "bg", "#ff0000", "solid_color"});
    ASSERT_EQ(status, 0) << run.Errors().toStdString();

    const auto frames = DecodeFrames(file, kWidth, kHeight);
    ASSERT_GE(frames.size(), 4u);
    const TDecodedFrame& last = frames.back();
    // The whole 1024x768 picture fills the 1280x720 frame: one colour everywhere,
    // no black band and no rows from the old size.
    for (const auto& [x, y] : std::vector<std::pair<int, int>>{
             {2, 2}, {1277, 2}, {2, 717}, {1277, 717}, {640, 360}, {1200, 700}})
        EXPECT_TRUE(Near(PixelAt(last, kWidth, x, y), 0x00FFF0))
            << x << "," << y << ": " << std::hex << PixelAt(last, kWidth, x, y);
    EXPECT_TRUE(Near(PixelAt(frames.front(), kWidth, 640, 360), 0xFF0000));
}

TEST_F(WaylandRecord, TheStoredPermissionSkipsTheChooserAndWithoutItADeclineEndsCleanly) {
    const fs::path token = BinDir() / "ScreenCast.token";
    ASSERT_TRUE(fs::exists(token)) << "the earlier recordings stored no restore token";
    ASSERT_TRUE(PortalBackend("decline"));
    fs::remove(StateDir() / "chooser.log");
    {
        TRecorderRun run(RecordArguments(Dir / "token.avi", 2, 2));
        ASSERT_GE(run.WaitForElapsed(0.5), 0) << run.Errors().toStdString();
        PaintBackground("#ff0000");
        EXPECT_EQ(run.Finish(), 0) << run.Errors().toStdString();
        EXPECT_FALSE(DecodeFrames(Dir / "token.avi", kWidth, kHeight).empty());
        EXPECT_FALSE(fs::exists(StateDir() / "chooser.log")) << "the chooser ran despite the token";
    }
    const std::string kept = [&] {
        std::ifstream in(token);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }();
    fs::remove(token);
    {
        TRecorderRun run(RecordArguments(Dir / "declined.avi", 10, 2));
        const auto started = std::chrono::steady_clock::now();
        const int status = run.Finish(8000);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
        EXPECT_EQ(status, 1) << run.Errors().toStdString();
        EXPECT_TRUE(run.Errors().contains("取消")) << run.Errors().toStdString();
        EXPECT_TRUE(run.Errors().contains("没有录下任何画面")) << run.Errors().toStdString();
        EXPECT_TRUE(fs::exists(StateDir() / "chooser.log")) << "no chooser was asked";
    }
    std::ofstream(token) << kept;
    ASSERT_TRUE(PortalBackend("none"));
}

// The desktop's own stop is the user's choice, not a fault: the recording
// ends as Stop ends it, with the reason told.
TEST_F(WaylandRecord, TheDesktopStoppingTheSharingEndsTheRecordingWithinTwoSecondsAsStopDoes) {
    const auto file = Dir / "lost.avi";
    TRecorderRun run(RecordArguments(file, 30, 2));
    ASSERT_GE(run.WaitForElapsed(0.5), 0) << run.Errors().toStdString();
    PaintBackground("#ff0000");
    ASSERT_GE(run.WaitForElapsed(2.0), 0);
    ASSERT_TRUE(PortalBackend("stop"));
    const auto stopped = std::chrono::steady_clock::now();
    const int status = run.Finish(10000);
    const auto took = std::chrono::steady_clock::now() - stopped;
    ASSERT_TRUE(PortalBackend("none"));
    EXPECT_LE(took, std::chrono::milliseconds(2500)) << run.Errors().toStdString();
    EXPECT_EQ(status, 0) << run.Errors().toStdString();
    EXPECT_TRUE(run.Errors().contains("桌面已结束屏幕共享")) << run.Errors().toStdString();
    const auto frames = DecodeFrames(file, kWidth, kHeight);
    ASSERT_GE(frames.size(), 2u) << "the frames before the loss are gone";
    EXPECT_TRUE(Near(PixelAt(frames.back(), kWidth, 640, 360), 0xFF0000));
}
