// Processor time per frame of a recording through the desktop's portal and
// PipeWire, busy and still, at 2 and 5 frames a second on a 1920x1080 output,
// beside the same recorder on an X server (1920x1080) measured in the same
// run: the recorder's own time, and what the desktop's side spends (the
// compositor, the portal and its backend, PipeWire and its session manager;
// the X server on X11). Printed as figures and ratios; only a broken
// recording fails the run.
#include "bench/engine/ScreenAnimator.h"
#include "tests/integration/capture/PrivateXServer.h"
#include "tests/integration/wayland/WaylandDesktop.h"

#include <QProcess>
#include <QThread>

#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

using namespace vardocle::test;
namespace fs = std::filesystem;

namespace {

constexpr int kSeconds = 6;

double ChildrenCpu() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
           usage.ru_stime.tv_usec / 1e6;
}

// The desktop's own processes, as the session noted them (the newest of each).
std::vector<pid_t> DesktopProcesses() {
    std::map<std::string, pid_t> newest;
    std::ifstream pids(StateDir() / "pids");
    std::string name;
    pid_t pid = 0;
    while (pids >> name >> pid)
        newest[name] = pid;
    std::vector<pid_t> result;
    for (const char* wanted : {"sway", "xdpw", "portal", "pipewire", "wireplumber", "dbus"})
        if (newest.count(wanted))
            result.push_back(newest[wanted]);
    return result;
}

double Sum(const std::vector<pid_t>& processes) {
    double total = 0;
    for (const pid_t pid : processes)
        total += ProcessCpuSeconds(pid);
    return total;
}

// The processor time of all of a process's threads, to the nanosecond: a
// still screen costs less than the clock ticks of ProcessCpuSeconds can show.
double ThreadsCpuSeconds(qint64 pid) {
    double total = 0;
    std::error_code ignored;
    for (const auto& task :
         fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", ignored)) {
        std::ifstream schedstat(task.path() / "schedstat");
        double nanoseconds = 0;
        if (schedstat >> nanoseconds)
            total += nanoseconds / 1e9;
    }
    return total;
}

struct TFigures {
    double Recorder = 0; // ms of processor time per slot, the whole run
    double Steady = 0;   // ms per slot once started: what a long recording pays
    double Desktop = 0;  // ms per slot, beyond what the same content costs unrecorded
    int Slots = 0;
};

// From this far into a recording until shortly before its end the recorder is
// past its start (and a still screen past its one change): its time there is
// what every further slot costs.
constexpr double kSteadyFrom = 3.0;
constexpr double kSteadyTo = kSeconds - 0.5;

// One recording of kSeconds; `desktop` are the processes serving the picture.
TFigures Record(const QStringList& screen, int rate, const std::vector<pid_t>& desktop,
                const QStringList& environment, bool kick) {
    TempDir dir;
    const fs::path file = dir / "bench.avi";
    // What the content costs the desktop without a recording, as a baseline.
    const double idleBefore = Sum(desktop);
    QThread::msleep(kSeconds * 1000 / 2);
    const double idleRate = (Sum(desktop) - idleBefore) / (kSeconds / 2.0);

    std::thread damage;
    if (kick) // a still screen gets one change, so that a first picture comes
        damage = std::thread([] {
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            PaintBackground("#204080");
        });
    const double desktopBefore = Sum(desktop);
    const double before = ChildrenCpu();
    QProcess process;
    auto variables = QProcessEnvironment::systemEnvironment();
    for (const QString& entry : environment)
        variables.insert(entry.section('=', 0, 0), entry.section('=', 1));
    process.setProcessEnvironment(variables);
    const auto started = std::chrono::steady_clock::now();
    process.start(QString::fromStdString((BinDir() / "vardocle-record").string()),
                  QStringList{QString::fromStdString(file.string()), "--seconds",
                              QString::number(kSeconds), "--rate", QString::number(rate), "--size",
                              "1024x768", "--cursor", "off", "--no-sound"} +
                      screen);
    EXPECT_TRUE(process.waitForStarted(10000));
    const auto at = [&](double seconds) {
        std::this_thread::sleep_until(started +
                                      std::chrono::milliseconds(static_cast<int>(seconds * 1000)));
        return ThreadsCpuSeconds(process.processId());
    };
    const double steadyBefore = at(kSteadyFrom);
    const double steadyAfter = at(kSteadyTo);
    process.waitForFinished(60000);
    const double recorder = ChildrenCpu() - before;
    const double desktopCpu = Sum(desktop) - desktopBefore - idleRate * kSeconds;
    if (damage.joinable())
        damage.join();
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    TFigures figures;
    figures.Slots = ProbeStream(file, "video")["nb_frames"].toString().toInt();
    EXPECT_GE(figures.Slots, kSeconds * rate - 1);
    if (figures.Slots > 0) {
        figures.Recorder = recorder * 1000 / figures.Slots;
        figures.Steady = (steadyAfter - steadyBefore) * 1000 / ((kSteadyTo - kSteadyFrom) * rate);
        figures.Desktop = std::max(0.0, desktopCpu) * 1000 / figures.Slots;
    }
    return figures;
}

void Print(const char* what, int rate, const TFigures& portal, const TFigures& x11) {
    std::printf("  %-5s %d fps: portal recorder %5.2f ms (steady %5.2f) + desktop %5.2f ms | x11 "
                "recorder %5.2f ms (steady %5.2f) + X server %5.2f ms | recorder ratio portal/x11 "
                "%.2f (steady %.2f)\n",
                what, rate, portal.Recorder, portal.Steady, portal.Desktop, x11.Recorder,
                x11.Steady, x11.Desktop, x11.Recorder > 0 ? portal.Recorder / x11.Recorder : 0.0,
                x11.Steady > 0 ? portal.Steady / x11.Steady : 0.0);
}

} // namespace

TEST(WaylandBench, PortalAgainstX11PerFrame) {
    VARDOCLE_REQUIRE_WAYLAND();
    ASSERT_EQ(Sway({"output", "HEADLESS-1", "resolution", "1920x1080"}), 0);
    const std::vector<pid_t> desktop = DesktopProcesses();
    ASSERT_GE(desktop.size(), 5u);
    TPrivateXServer xserver({"-screen", "0", "1920x1080x24"});
    ASSERT_FALSE(xserver.Name().empty());
    const QStringList onX11{"DISPLAY=" + QString::fromStdString(xserver.Name())};
    const QStringList portal{"--screen", "portal"};
    const QStringList x11{"--screen", "x11"};

    std::map<int, TFigures> portalStill, x11Still, portalBusy, x11Busy;
    for (const int rate : {2, 5}) {
        PaintBackground("#ffffff");
        portalStill[rate] = Record(portal, rate, desktop, {}, true);
        x11Still[rate] = Record(x11, rate, {xserver.Pid()}, onX11, false);
    }
    {
        // Text scrolling over the whole screen on both.
        TClients clients;
        clients.Start("foot", {"-o", "colors.background=ffffff", "-o", "colors.foreground=000000",
                               "sh", "-c", "while :; do seq -s ' ' 1 60; sleep 0.02; done"});
        ASSERT_TRUE(clients.WaitForWindow("\"app_id\": \"foot\""));
        Sway({"[app_id=\"foot\"]", "fullscreen", "enable"});
        qputenv("DISPLAY", QByteArray::fromStdString(xserver.Name()));
        TScreenAnimator animator;
        ASSERT_TRUE(animator.Running());
        for (const int rate : {2, 5}) {
            portalBusy[rate] = Record(portal, rate, desktop, {}, false);
            x11Busy[rate] = Record(x11, rate, {xserver.Pid()}, onX11, false);
        }
    }
    Sway({"output", "HEADLESS-1", "resolution", "1280x720"});
    PaintBackground("#ff0000");

    std::printf("wayland bench (1920x1080 -> 1024x768 H.264, %d s each; CPU per slot)\n", kSeconds);
    for (const int rate : {2, 5}) {
        Print("busy", rate, portalBusy[rate], x11Busy[rate]);
        Print("still", rate, portalStill[rate], x11Still[rate]);
    }
    std::printf("  (desktop = sway + portal backend + portal + pipewire + wireplumber + bus, "
                "beyond the same content unrecorded; targets: recorder ratio <= 1.0 busy, "
                "desktop near 0 still; steady = from %.0f s to %.1f s into the run)\n",
                kSteadyFrom, kSteadyTo);
}
