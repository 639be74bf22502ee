// The cost of leaving see-through windows out of a 1920x1080 grab against the
// plain grab, in the same run on the same desktop: processor time per frame of
// this program and of the X server together (the composing happens in the
// server), and wall time per frame. Figures are printed; only a broken grab
// fails the run.
#include "tests/support/TestSupport.h"

#include "platform/screen/X11Screen.h"
#include "tests/integration/capture/PrivateXServer.h"
#include "tests/integration/capture/TestDesktop.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace vardocle;
using namespace vardocle::test;

namespace {

double OwnCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
           usage.ru_stime.tv_usec / 1e6;
}

// User and system time of another process, from /proc.
double ProcessCpuSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    // Fields after the command name (which may hold spaces) start past ')'.
    std::istringstream rest(line.substr(line.rfind(')') + 2));
    std::string field;
    unsigned long long user = 0;
    unsigned long long system = 0;
    for (int index = 3; rest >> field; ++index) {
        if (index == 14)
            user = std::stoull(field);
        if (index == 15) {
            system = std::stoull(field);
            break;
        }
    }
    return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

struct TCost {
    double CpuMs = 0;
    double WallMs = 0;
};

TCost Measure(TX11Screen& screen, pid_t server, int frames) {
    screen.Grab(); // buffers made, windows redirected
    const double cpuBefore = OwnCpuSeconds() + ProcessCpuSeconds(server);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < frames; ++i) {
        const TScreenGrab grab = screen.Grab();
        EXPECT_EQ(grab.Width, 1920);
    }
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = OwnCpuSeconds() + ProcessCpuSeconds(server) - cpuBefore;
    return {cpu * 1000 / frames, wall * 1000 / frames};
}

void Report(const char* what, const TCost& plain, const TCost& composed) {
    std::printf("%s: plain %.2f ms CPU (%.2f ms wall) per frame, composed %.2f ms CPU "
                "(%.2f ms wall); CPU ratio %.2f (target at most 2), wall ratio %.2f\n",
                what, plain.CpuMs, plain.WallMs, composed.CpuMs, composed.WallMs,
                composed.CpuMs / plain.CpuMs, composed.WallMs / plain.WallMs);
}

TEST(CaptureBench, ComposedGrabAgainstPlainGrab) {
    TPrivateXServer server;
    ASSERT_FALSE(server.Name().empty()) << "Xvfb did not start";
    TTestDesktop desktop(server.Name());
    ASSERT_TRUE(desktop.Connected());
    desktop.ShowWallpaper();
    // A working desktop: a handful of ordinary windows.
    for (int i = 0; i < 6; ++i)
        desktop.ShowWindow(TTestWindowKind::Opaque, {100 + i * 150, 80 + i * 90, 700, 500},
                           0x203040u * static_cast<unsigned>(i + 1));
    TX11Screen screen(server.Name());
    auto compare = [&](const char* what) {
        constexpr int frames = 200;
        screen.SetCaptureTransparent(true);
        const TCost plain = Measure(screen, server.Pid(), frames);
        screen.SetCaptureTransparent(false);
        const TCost composed = Measure(screen, server.Pid(), frames);
        Report(what, plain, composed);
    };
    compare("no see-through window");

    // The usual case: the recorder's own two windows.
    desktop.ShowWindow(TTestWindowKind::OwnProcess, {1500, 100, 320, 200}, 0x365351);
    desktop.ShowWindow(TTestWindowKind::OwnProcess, {1500, 300, 240, 180}, 0xFF0080);
    compare("the recorder's two windows");

    // The hard case: large translucent windows of other programs as well,
    // 40 % of the screen see-through.
    desktop.ShowWindow(TTestWindowKind::Argb, {300, 300, 800, 600}, 0xFF0000);
    desktop.ShowWindow(TTestWindowKind::OpacityHint, {1000, 600, 600, 400}, 0x00FF00);
    compare("two large translucent windows too");
}

} // namespace
