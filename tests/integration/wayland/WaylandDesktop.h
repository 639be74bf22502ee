#pragma once
// The headless Wayland desktop the test run started (tests/wayland/wayland-session):
// its compositor, its clients, its portal backend, and recordings read back.
#include "tests/support/TestSupport.h"

#include <QProcess>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

namespace vardocle::test {

// True when the run started the Wayland desktop (WL_STATE and WAYLAND_DISPLAY).
bool HaveWaylandDesktop();

// swaymsg with these arguments; its exit code.
int Sway(const QStringList& arguments);
// Paints the output's background in one colour ("#rrggbb").
void PaintBackground(const QString& colour);
// Restarts the portal backend: "none" (no chooser), "decline" (a chooser that
// declines and notes each call in chooser.log) or "stop".
bool PortalBackend(const QString& mode);
std::filesystem::path StateDir();

// Programs shown on the desktop for one test; ended when it goes.
class TClients {
public:
    ~TClients();
    void Start(const QString& program, const QStringList& arguments);
    // Waits until the compositor's tree names `marker` (an app_id or class).
    bool WaitForWindow(const QString& marker);
    // A Wayland terminal all in one colour ("rrggbb"), text and cursor too,
    // shown; whether it appeared.
    bool StartSolidTerminal(const QString& colour);

private:
    std::vector<std::unique_ptr<QProcess>> FProcesses;
    // The windows waited for: gone from the compositor's tree before the
    // next test looks at the screen.
    std::vector<QString> FMarkers;
};

// A vardocle-record run whose progress is read while it records.
class TRecorderRun {
public:
    explicit TRecorderRun(const QStringList& arguments);
    ~TRecorderRun();
    // Waits until the recorder reports at least `seconds` recorded; the
    // elapsed time it reported.
    double WaitForElapsed(double seconds, int limitMs = 20000);
    // Waits for its end; its exit code (-1 when it had to be killed).
    int Finish(int limitMs = 30000);
    QString Errors() const { return QString::fromUtf8(FErr); }
    QString Output() const { return QString::fromUtf8(FOut); }
    QProcess& Process() { return FProcess; }

private:
    void Read();
    QProcess FProcess;
    QByteArray FErr;
    QByteArray FOut;
    double FElapsed = -1;
};

struct TDecodedFrame {
    std::int64_t Slot = 0; // the frame's place in the video (its timestamp)
    QByteArray Rgb;        // 24-bit RGB, top row first
};

// The picture every slot shows, from the first with a picture of its own to
// the end, decoded at the video's size.
std::vector<TDecodedFrame> DecodeFrames(const std::filesystem::path& file, int width, int height);
// The frame's pixel as 0xRRGGBB.
std::uint32_t PixelAt(const TDecodedFrame& frame, int width, int x, int y);
// Whether two colours differ by at most `tolerance` in each channel.
bool Near(std::uint32_t colour, std::uint32_t expected, int tolerance = 3);

} // namespace vardocle::test

#define VARDOCLE_REQUIRE_WAYLAND()                                                                 \
    do {                                                                                           \
        if (!::vardocle::test::HaveWaylandDesktop()) {                                             \
            if (qEnvironmentVariableIsSet("VARDOCLE_WAYLAND_DESKTOP"))                             \
                FAIL() << "the run promised a Wayland desktop, but none is reachable";             \
            GTEST_SKIP() << "no Wayland desktop: run tests/wayland/run-wayland-tests";             \
        }                                                                                          \
    } while (0)
