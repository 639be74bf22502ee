#pragma once
// Whether the windowed program has a display to show its windows on. Asked
// before the application object exists: the toolkit itself ends the process
// with an abort (and a core dump) when it cannot open one, which tells a user
// over ssh nothing.
#include <functional>
#include <optional>
#include <string>

namespace vardocle {

// What the check reads from the environment.
struct TDisplayEnvironment {
    std::string Platform;       // QT_QPA_PLATFORM
    std::string X11Display;     // DISPLAY
    std::string WaylandDisplay; // WAYLAND_DISPLAY
    std::string RuntimeDir;     // XDG_RUNTIME_DIR
    std::string SessionType;    // XDG_SESSION_TYPE
    static TDisplayEnvironment FromProcess();
};

// How a display is tried; the real ones open a connection and close it again.
struct TDisplayProbes {
    std::function<bool(const std::string& display)> X11;
    std::function<bool(const std::string& socketPath)> Wayland;
    static TDisplayProbes Real();
};

// What is missing, in both languages; the reason only, without the advice.
struct TDisplayProblem {
    std::string Chinese;
    std::string English;
};

// Nothing when one of the platforms the toolkit would try can be reached.
// Platforms this check does not know (offscreen, vnc, ...) count as reachable.
std::optional<TDisplayProblem> FindDisplayProblem(const TDisplayEnvironment& environment,
                                                  const TDisplayProbes& probes);

// The one line the user reads: the problem, that no window can be shown and
// that vardocle-record records from scripts.
std::string DisplayProblemLine(const TDisplayProblem& problem);

// The program's check: prints the line on standard error and returns false
// when no display can be reached. It also keeps the toolkit's own fatal
// start-up failures (a platform plugin that cannot be loaded) to that line
// and status 1, without the abort.
bool RequireDisplay();

} // namespace vardocle
