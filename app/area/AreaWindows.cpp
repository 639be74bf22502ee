// The desktop's windows read from the X server the program's windows are on.
// The screen layer follows a recorded window itself; this is only what the
// choice shows and checks.
#include "app/area/AreaWindows.h"

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

bool HasProperty(Display* display, Window window, Atom property) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(display, window, property, 0, 0, False, AnyPropertyType,
                                          &type, &format, &count, &after, &data);
    std::unique_ptr<unsigned char, TXFree> hold(data);
    return status == Success && type != None;
}

// The client inside a window manager's frame: the window with WM_STATE at
// or below `frame`; the frame itself when there is no window manager.
Window ClientOf(Display* display, Window frame, Atom wmState, int depth = 2) {
    if (HasProperty(display, frame, wmState))
        return frame;
    if (depth == 0)
        return None;
    Window root = None;
    Window parent = None;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, frame, &root, &parent, &children, &count))
        return None;
    std::unique_ptr<Window, TXFree> hold(children);
    for (unsigned int i = count; i-- > 0;)
        if (const Window client = ClientOf(display, children[i], wmState, depth - 1))
            return client;
    return None;
}

QString TitleOf(Display* display, Window window) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False), 0, 1024,
                           False, XInternAtom(display, "UTF8_STRING", False), &type, &format,
                           &count, &after, &data) == Success &&
        data) {
        std::unique_ptr<unsigned char, TXFree> hold(data);
        if (format == 8 && count > 0)
            return QString::fromUtf8(reinterpret_cast<const char*>(data),
                                     static_cast<qsizetype>(count));
    }
    char* name = nullptr;
    if (XFetchName(display, window, &name) && name) {
        std::unique_ptr<char, TXFree> hold(name);
        return QString::fromLocal8Bit(name);
    }
    return {};
}

std::optional<TListedWindow> Describe(Display* display, Window window) {
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, window, &attributes) || attributes.c_class != InputOutput)
        return std::nullopt;
    int x = 0;
    int y = 0;
    Window child = None;
    if (!XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child))
        return std::nullopt;
    return TListedWindow{static_cast<std::uint32_t>(window),
                         TitleOf(display, window),
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
    const Atom wmState = XInternAtom(display, "WM_STATE", False);
    for (unsigned int i = count; i-- > 0;) {
        XWindowAttributes attributes{};
        if (!XGetWindowAttributes(display, children[i], &attributes) ||
            attributes.override_redirect || attributes.map_state != IsViewable)
            continue;
        Window client = ClientOf(display, children[i], wmState);
        if (client == None)
            client = children[i];
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
