// The portal's screen of an area on the Wayland desktop, read directly: a
// region cut from the monitor's picture, a still picture to choose it on, a
// window where the desktop casts none, and the desktop ending the sharing.
// The output is 1280x720 in red, and a window fills it but for gaps of 60.
#include "platform/base/Errors.h"
#include "platform/screen/portal/PortalScreen.h"
#include "tests/integration/wayland/WaylandDesktop.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

using namespace vardocle;
using namespace vardocle::test;
using namespace std::chrono_literals;

namespace {

std::uint32_t Colour(const TScreenGrab& grab, int x, int y) {
    const std::uint8_t* p = grab.Pixels + y * grab.Stride + std::ptrdiff_t{4} * x;
    return (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[1]) << 8) | p[0];
}

// Runs this thread's events (the portal's answers come through them) until
// `done` holds or `limit` passed; whether it held.
bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        QEventLoop wait;
        QTimer::singleShot(20, &wait, &QEventLoop::quit);
        wait.exec();
    }
    return true;
}

// The first picture: the desktop sends one only after something changed,
// so the background is painted again now and then.
TScreenGrab FirstGrab(TPortalScreen& screen) {
    TScreenGrab grab;
    int round = 0;
    RunUntil(
        [&] {
            if (++round % 25 == 0)
                PaintBackground("#ff0000");
            grab = screen.Grab();
            return grab.Pixels != nullptr;
        },
        10s);
    return grab;
}

class WaylandArea : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "wayland_area";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance())
            Application = std::make_unique<QCoreApplication>(argc, argv);
    }
    static void TearDownTestSuite() { Application.reset(); }
    void SetUp() override {
        VARDOCLE_REQUIRE_WAYLAND();
        PaintBackground("#ff0000");
    }
    TCaptureArea Region(int x, int y, int width, int height) {
        TCaptureArea area;
        area.Kind = TAreaKind::Region;
        area.Region = {x, y, width, height};
        return area;
    }
    static inline std::unique_ptr<QCoreApplication> Application;
    TempDir Dir;
};

} // namespace

TEST_F(WaylandArea, ARegionIsCutAtItsPlaceAndTheStillPictureShowsTheWholeMonitor) {
    TClients clients;
    ASSERT_TRUE(clients.StartSolidTerminal("00ff00"));

    // The window's corners (60,60) and (1219,659) lie 20,30 inside the
    // region's and 20,20 inside its far corner: a region read one pixel
    // off in either direction shows the wrong colour at one of them.
    TPortalScreen screen(Dir / "token", 10, Region(40, 30, 1200, 650));
    const TScreenGrab grab = FirstGrab(screen);
    ASSERT_NE(grab.Pixels, nullptr) << "no picture came";
    ASSERT_EQ(grab.Width, 1200);
    ASSERT_EQ(grab.Height, 650);
    const std::vector<std::tuple<int, int, std::uint32_t>> expected = {
        {0, 0, 0xFF0000},      {19, 30, 0xFF0000},    {20, 29, 0xFF0000},
        {20, 30, 0x00FF00},    {600, 300, 0x00FF00},  {1179, 629, 0x00FF00},
        {1180, 629, 0xFF0000}, {1179, 630, 0xFF0000}, {1199, 649, 0xFF0000}};
    for (const auto& [x, y, colour] : expected)
        EXPECT_TRUE(Near(Colour(grab, x, y), colour))
            << x << "," << y << ": " << std::hex << Colour(grab, x, y);

    // The still picture to choose a region on is the whole monitor.
    const TCastPicture still = screen.StillPicture(3000);
    ASSERT_EQ(still.Width, 1280);
    ASSERT_EQ(still.Height, 720);
    const TScreenGrab whole{const_cast<std::uint8_t*>(still.Pixels.data()), still.Width,
                            still.Height, still.Stride()};
    EXPECT_TRUE(Near(Colour(whole, 59, 59), 0xFF0000));
    EXPECT_TRUE(Near(Colour(whole, 60, 60), 0x00FF00));
}

TEST_F(WaylandArea, ChangesOutsideARegionDoNotCountAsItsOwn) {
    // A terminal that writes ten times a second, away from the region in
    // the top left corner of the background.
    TClients clients;
    clients.Start("foot", {"-o", "colors.background=00ff00", "sh", "-c",
                           "while :; do date +%N; sleep 0.1; done"});
    ASSERT_TRUE(clients.WaitForWindow("\"app_id\": \"foot\""));
    TPortalScreen monitor(Dir / "token", 10);
    TPortalScreen corner(Dir / "token", 10, Region(0, 0, 50, 50));
    ASSERT_NE(FirstGrab(monitor).Pixels, nullptr);
    ASSERT_NE(FirstGrab(corner).Pixels, nullptr);
    int monitorChanges = 0;
    int cornerChanges = 0;
    RunUntil(
        [&] {
            if (monitor.TakeChanges().Picture) {
                ++monitorChanges;
                monitor.Grab();
            }
            if (corner.TakeChanges().Picture) {
                ++cornerChanges;
                corner.Grab();
            }
            return false;
        },
        1500ms);
    EXPECT_GE(monitorChanges, 5) << "the terminal's writing did not reach the monitor's stream";
    // The corner's first picture may still be on its way.
    EXPECT_LE(cornerChanges, 1);
}

TEST_F(WaylandArea, ARegionPartlyOffTheMonitorIsToldBeforeAnythingIsRecorded) {
    TPortalScreen screen(Dir / "token", 10, Region(1200, 600, 200, 200));
    try {
        FirstGrab(screen);
        FAIL() << "a region partly off the monitor was recorded";
    } catch (const Exception& error) {
        EXPECT_EQ(std::string(error.what()),
                  AreaMissingMessage(Region(1200, 600, 200, 200), TAreaPlacement::Partial));
    }
}

TEST_F(WaylandArea, AWindowIsNotAskedForWhereTheDesktopCastsOnlyMonitors) {
    const auto types = RunProcess("gdbus",
                                  {"call", "--session", "--dest", "org.freedesktop.portal.Desktop",
                                   "--object-path", "/org/freedesktop/portal/desktop", "--method",
                                   "org.freedesktop.DBus.Properties.Get",
                                   "org.freedesktop.portal.ScreenCast", "AvailableSourceTypes"},
                                  10s);
    ASSERT_EQ(types.ExitCode, 0);
    if (!types.Out.contains("uint32 1>"))
        GTEST_SKIP() << "this desktop casts windows: " << types.Out.toStdString();
    TCaptureArea window;
    window.Kind = TAreaKind::Window;
    window.Pick = true;
    TPortalScreen screen(Dir / "token", 10, window);
    std::string message;
    const bool told = RunUntil(
        [&] {
            try {
                screen.Grab();
            } catch (const Exception& error) {
                message = error.what();
            }
            return !message.empty();
        },
        5s);
    ASSERT_TRUE(told) << "no answer about the window";
    EXPECT_NE(message.find("不能只录制一个窗口"), std::string::npos) << message;
}

TEST_F(WaylandArea, TheDesktopEndingTheSharingIsAnEndThatTheScreenTells) {
    TPortalScreen screen(Dir / "token", 10);
    ASSERT_NE(FirstGrab(screen).Pixels, nullptr) << "no picture came";
    EXPECT_FALSE(screen.StreamEnded());
    ASSERT_TRUE(PortalBackend("stop"));
    const bool ended = RunUntil([&] { return screen.StreamEnded(); }, 3s);
    ASSERT_TRUE(PortalBackend("none"));
    ASSERT_TRUE(ended) << "the end of the sharing went unnoticed";
    try {
        screen.Grab();
        FAIL() << "a grab after the end gave a picture";
    } catch (const Exception& error) {
        EXPECT_EQ(std::string(error.what()), screen.EndedMessage());
    }
}
