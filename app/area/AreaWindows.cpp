// The desktop's windows read from the X server the program's windows are on.
// The screen layer follows a recorded window itself; this is only what the
// choice shows and checks.
#include "app/area/AreaWindows.h"

#include "platform/screen/X11WindowList.h"

#include <QGuiApplication>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <memory>

namespace vardocle {

namespace {

Display* X11Display() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app || QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->display() : nullptr;
}

struct TXFree {
    void operator()(void* data) const {
        if (data)
            XFree(data);
    }
};

// A window may go away between two questions: its errors are expected here
// and must not end the program.
class TIgnoreXErrors {
public:
    explicit TIgnoreXErrors(Display* display)
        : FDisplay(display), FOld(XSetErrorHandler([](Display*, XErrorEvent*) { return 0; })) {}
    ~TIgnoreXErrors() {
        XSync(FDisplay, False);
        XSetErrorHandler(FOld);
    }
    TIgnoreXErrors(const TIgnoreXErrors&) = delete;
    TIgnoreXErrors& operator=(const TIgnoreXErrors&) = delete;

private:
    Display* FDisplay;
    XErrorHandler FOld;
};

std::optional<TListedWindow> Describe(Display* display, Window window) {
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, window, &attributes) || attributes.c_class != InputOutput)
        return std::nullopt;
    int x = 0;
    int y = 0;
    Window child = None;
    if (!XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child))
        return std::nullopt;
    return TListedWindow{
        static_cast<std::uint32_t>(window),
        QString::fromStdString(WindowTitle(display, static_cast<std::uint32_t>(window))),
        {x, y, attributes.width, attributes.height},
        attributes.map_state == IsViewable};
}

// The top-level windows' clients, the topmost first. Override-redirect
// windows (menus, tips, the pick overlay itself) are not windows to record.
std::vector<TListedWindow> ClientWindows(Display* display) {
    std::vector<TListedWindow> windows;
    const TIgnoreXErrors ignore(display);
    Window root = None;
    Window parent = None;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
        return windows;
    std::unique_ptr<Window, TXFree> hold(children);
    for (unsigned int i = count; i-- > 0;) {
        XWindowAttributes attributes{};
        if (!XGetWindowAttributes(display, children[i], &attributes) ||
            attributes.override_redirect || attributes.map_state != IsViewable)
            continue;
        const Window client = ClientWindowOf(display, static_cast<std::uint32_t>(children[i]));
        if (auto window = Describe(display, client); window && window->Viewable)
            windows.push_back(*window);
    }
    return windows;
}

} // namespace

TAreaWindows TAreaWindows::System() {
    TAreaWindows windows;
    windows.List = [] {
        std::vector<TListedWindow> titled;
        if (Display* display = X11Display())
            for (auto& window : ClientWindows(display))
                if (!window.Title.trimmed().isEmpty())
                    titled.push_back(std::move(window));
        return titled;
    };
    windows.At = [](int x, int y) -> std::optional<TListedWindow> {
        Display* display = X11Display();
        if (!display)
            return std::nullopt;
        for (const auto& window : ClientWindows(display))
            if (x >= window.Area.X && y >= window.Area.Y && x < window.Area.X + window.Area.Width &&
                y < window.Area.Y + window.Area.Height)
                return window;
        return std::nullopt;
    };
    windows.Find = [](std::uint32_t id) -> std::optional<TListedWindow> {
        Display* display = X11Display();
        if (!display || id == 0)
            return std::nullopt;
        const TIgnoreXErrors ignore(display);
        return Describe(display, id);
    };
    return windows;
}

} // namespace vardocle
