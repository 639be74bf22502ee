// The cost of leaving see-through windows out of a 1920x1080 grab against the
// plain grab, in the same run on the same desktop: processor time per frame of
// the grabbing thread and of the X server together (the composing happens in
// the server), and wall time per frame, with cold caches as in a recording
// and back to back. Figures are printed; only a broken grab fails the run.
#include "tests/support/TestSupport.h"

#include "platform/screen/X11Screen.h"
#include "tests/integration/capture/PrivateXServer.h"
#include "tests/integration/capture/TestDesktop.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>
#include <vector>

using namespace vardocle;
using namespace vardocle::test;

namespace {

struct TCost {
    double CpuSeconds = 0;
    double WallSeconds = 0;
    int Frames = 0;

    double CpuMs() const { return CpuSeconds * 1000 / Frames; }
    double WallMs() const { return WallSeconds * 1000 / Frames; }
};

double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// The rest of a recording's work between two frames (scaling, encoding)
// passes over far more memory than the caches hold, so in a recording every
// grab starts with cold caches. Touching a line of every 64 bytes of 64 MiB
// does the same to them.
class TOtherWork {
public:
    void Run() {
        for (std::size_t at = 0; at < FMemory.size(); at += 64)
            ++FMemory[at];
    }

private:
    std::vector<std::uint8_t> FMemory = std::vector<std::uint8_t>(std::size_t{64} << 20);
};

// Grabs until the grabs alone took about `seconds`: long enough that the
// server's processor time, counted in ticks of 10 ms, is known to within a
// few per cent. Only the grabs are timed; the server is idle in between.
void Measure(TX11Screen& screen, pid_t server, double seconds, TOtherWork* between, TCost& cost) {
    screen.Grab(); // buffers made, windows redirected
    const double serverBefore = ProcessCpuSeconds(server);
    double own = 0;
    double wall = 0;
    int frames = 0;
    while (wall < seconds) {
        if (between)
            between->Run();
        const double ownBefore = ThreadCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        const TScreenGrab grab = screen.Grab();
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        own += ThreadCpuSeconds() - ownBefore;
        EXPECT_EQ(grab.Width, 1920);
        ++frames;
    }
    cost.CpuSeconds += own + ProcessCpuSeconds(server) - serverBefore;
    cost.WallSeconds += wall;
    cost.Frames += frames;
}

void Report(const char* what, const char* how, const TCost& plain, const TCost& composed) {
    std::printf("%s, %s: plain %.2f ms CPU (%.2f ms wall) per frame, composed %.2f ms CPU "
                "(%.2f ms wall); CPU ratio %.2f, wall ratio %.2f\n",
                what, how, plain.CpuMs(), plain.WallMs(), composed.CpuMs(), composed.WallMs(),
                composed.CpuMs() / plain.CpuMs(), composed.WallMs() / plain.WallMs());
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
    TOtherWork otherWork;
    auto compare = [&](const char* what) {
        // As in a recording (the target, at most 2), and back to back, where
        // the plain grab's 16 MiB stay in the caches from frame to frame.
        for (TOtherWork* between : {&otherWork, static_cast<TOtherWork*>(nullptr)}) {
            // Turns in the order plain, composed, composed, plain, ...:
            // whichever comes first after a change pays for warming up.
            TCost plain;
            TCost composed;
            for (int turn = 0; turn < 4; ++turn) {
                const bool plainFirst = turn % 2 == 0;
                screen.SetCaptureTransparent(plainFirst);
                Measure(screen, server.Pid(), 0.3, between, plainFirst ? plain : composed);
                screen.SetCaptureTransparent(!plainFirst);
                Measure(screen, server.Pid(), 0.3, between, plainFirst ? composed : plain);
            }
            Report(what, between ? "as in a recording" : "back to back", plain, composed);
        }
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
