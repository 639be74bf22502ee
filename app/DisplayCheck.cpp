#include "app/DisplayCheck.h"

#include <QString>
#include <QtGlobal>

#include <X11/Xlib.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace vardocle {

namespace {

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// QT_QPA_PLATFORM is a list of names separated by ';', each optionally
// followed by ':' and the plugin's arguments.
std::vector<std::string> PlatformsToTry(const TDisplayEnvironment& environment) {
    std::vector<std::string> names;
    std::string rest = environment.Platform;
    while (!rest.empty()) {
        const auto end = rest.find(';');
        std::string entry = rest.substr(0, end);
        rest = end == std::string::npos ? "" : rest.substr(end + 1);
        entry = entry.substr(0, entry.find(':'));
        if (!entry.empty())
            names.push_back(entry);
    }
    if (!names.empty())
        return names;
    // The toolkit's own choice: Wayland first in a Wayland session.
    if (environment.SessionType == "wayland" && !environment.WaylandDisplay.empty())
        return {"wayland", "xcb"};
    return {"xcb"};
}

std::string WaylandSocketPath(const TDisplayEnvironment& environment) {
    std::string name =
        environment.WaylandDisplay.empty() ? "wayland-0" : environment.WaylandDisplay;
    if (name.front() == '/' || environment.RuntimeDir.empty())
        return name;
    return environment.RuntimeDir + "/" + name;
}

std::optional<TDisplayProblem> ProblemOf(const std::string& platform,
                                         const TDisplayEnvironment& environment,
                                         const TDisplayProbes& probes) {
    if (platform == "xcb") {
        if (environment.X11Display.empty())
            return TDisplayProblem{"没有图形显示（未设置 DISPLAY）",
                                   "no display to show windows on (DISPLAY is not set)"};
        if (!probes.X11(environment.X11Display))
            return TDisplayProblem{"无法连接到显示 " + environment.X11Display,
                                   "cannot connect to the display " + environment.X11Display};
        return std::nullopt;
    }
    if (platform == "wayland") {
        const std::string socket = WaylandSocketPath(environment);
        if (!probes.Wayland(socket))
            return TDisplayProblem{"无法连接到 Wayland 显示 " + socket,
                                   "cannot connect to the Wayland display " + socket};
        return std::nullopt;
    }
    return std::nullopt;
}

bool X11Reachable(const std::string& display) {
    Display* connection = XOpenDisplay(display.c_str());
    if (!connection)
        return false;
    XCloseDisplay(connection);
    return true;
}

bool WaylandReachable(const std::string& socketPath) {
    sockaddr_un address{};
    if (socketPath.size() >= sizeof(address.sun_path))
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool connected =
        connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    close(fd);
    return connected;
}

QtMessageHandler gPreviousHandler = nullptr;

// The toolkit's fatal start-up failure when no platform plugin could be
// loaded becomes the program's line and status 1. Its warnings about loading
// plugins that come before are left out: they only repeat the failure in the
// toolkit's words.
void StartupMessageHandler(QtMsgType type, const QMessageLogContext& context,
                           const QString& message) {
    if (type == QtFatalMsg && message.contains(QLatin1String("platform plugin"))) {
        std::string platform = Variable("QT_QPA_PLATFORM");
        if (platform.empty())
            platform = "xcb";
        const TDisplayProblem problem{"无法加载图形显示的平台插件 " + platform,
                                      "the display's platform plugin " + platform +
                                          " could not be loaded"};
        std::fprintf(stderr, "%s\n", DisplayProblemLine(problem).c_str());
        std::fflush(stderr);
        _exit(1);
    }
    if (type != QtFatalMsg && context.category &&
        std::strcmp(context.category, "qt.qpa.plugin") == 0)
        return;
    if (gPreviousHandler)
        gPreviousHandler(type, context, message);
    else
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

} // namespace

TDisplayEnvironment TDisplayEnvironment::FromProcess() {
    return {Variable("QT_QPA_PLATFORM"), Variable("DISPLAY"), Variable("WAYLAND_DISPLAY"),
            Variable("XDG_RUNTIME_DIR"), Variable("XDG_SESSION_TYPE")};
}

TDisplayProbes TDisplayProbes::Real() {
    return {X11Reachable, WaylandReachable};
}

std::optional<TDisplayProblem> FindDisplayProblem(const TDisplayEnvironment& environment,
                                                  const TDisplayProbes& probes) {
    std::optional<TDisplayProblem> first;
    for (const std::string& platform : PlatformsToTry(environment)) {
        auto problem = ProblemOf(platform, environment, probes);
        if (!problem)
            return std::nullopt;
        if (!first)
            first = std::move(problem);
    }
    return first;
}

std::string DisplayProblemLine(const TDisplayProblem& problem) {
    return "vardocle: " + problem.Chinese +
           "，无法显示窗口；在脚本中录制请使用 vardocle-record。 / vardocle: " + problem.English +
           ", so no window can be shown; to record from scripts, use vardocle-record.";
}

bool RequireDisplay() {
    if (const auto problem =
            FindDisplayProblem(TDisplayEnvironment::FromProcess(), TDisplayProbes::Real())) {
        std::fprintf(stderr, "%s\n", DisplayProblemLine(*problem).c_str());
        return false;
    }
    gPreviousHandler = qInstallMessageHandler(StartupMessageHandler);
    return true;
}

} // namespace vardocle
