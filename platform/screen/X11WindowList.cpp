#include "platform/screen/X11WindowList.h"

#include "platform/base/Errors.h"
#include "platform/screen/X11SharedImage.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <cstdlib>

namespace vardocle {

namespace {

struct TXFreeDeleter {
    void operator()(void* data) const {
        if (data)
            XFree(data);
    }
};

// The window's children, bottom first; empty when it has gone.
std::vector<Window> ChildrenOf(Display* connection, Window window) {
    Window root = 0;
    Window parent = 0;
    Window* raw = nullptr;
    unsigned count = 0;
    if (!XQueryTree(connection, window, &root, &parent, &raw, &count))
        return {};
    std::unique_ptr<Window, TXFreeDeleter> children(raw);
    return {raw, raw + count};
}

// A property's raw value, with its type and format; empty when not set.
std::string ReadProperty(Display* connection, Window window, const char* name, Atom type,
                         int* format = nullptr) {
    Atom actualType = None;
    int actualFormat = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* raw = nullptr;
    const Atom property = XInternAtom(connection, name, False);
    if (XGetWindowProperty(connection, window, property, 0, 1024, False, type, &actualType,
                           &actualFormat, &count, &remaining, &raw) != Success)
        return {};
    std::unique_ptr<unsigned char, TXFreeDeleter> data(raw);
    if (!raw || actualType == None || (type != AnyPropertyType && actualType != type))
        return {};
    if (format)
        *format = actualFormat;
    // 32-bit items come in longs, whatever a long's size.
    const std::size_t itemBytes = actualFormat == 32 ? sizeof(long) : actualFormat / 8;
    return {reinterpret_cast<const char*>(raw), count * itemBytes};
}

bool HasWmState(Display* connection, Window window) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* raw = nullptr;
    XGetWindowProperty(connection, window, XInternAtom(connection, "WM_STATE", False), 0, 0, False,
                       AnyPropertyType, &type, &format, &count, &remaining, &raw);
    std::unique_ptr<unsigned char, TXFreeDeleter> data(raw);
    return type != None;
}

Window FindWmStateBelow(Display* connection, Window window, int depth) {
    // Window managers put the program's window a level or two inside their frame.
    if (depth > 3)
        return 0;
    const std::vector<Window> children = ChildrenOf(connection, window);
    for (Window child : children)
        if (HasWmState(connection, child))
            return child;
    for (Window child : children)
        if (const Window found = FindWmStateBelow(connection, child, depth + 1))
            return found;
    return 0;
}

bool OwnProcess(Display* connection, Window client) {
    int format = 0;
    const std::string pid = ReadProperty(connection, client, "_NET_WM_PID", XA_CARDINAL, &format);
    if (format != 32 || pid.size() < sizeof(long))
        return false;
    return static_cast<pid_t>(*reinterpret_cast<const long*>(pid.data())) == getpid();
}

} // namespace

std::string WindowTitle(_XDisplay* connection, std::uint32_t client) {
    std::string title = ReadProperty(connection, client, "_NET_WM_NAME",
                                     XInternAtom(connection, "UTF8_STRING", False));
    if (!title.empty())
        return title;
    // WM_NAME in whatever encoding the program chose, made UTF-8.
    XTextProperty text{};
    if (!XGetWMName(connection, client, &text) || !text.value)
        return {};
    std::unique_ptr<unsigned char, TXFreeDeleter> value(text.value);
    char** list = nullptr;
    int count = 0;
    if (Xutf8TextPropertyToTextList(connection, &text, &list, &count) >= Success && list) {
        if (count > 0 && list[0])
            title = list[0];
        XFreeStringList(list);
    }
    return title;
}

namespace {

// The inside of a window in root coordinates; none when it has gone.
std::optional<TScreenRect> AreaOf(Display* connection, Window window,
                                  XWindowAttributes* attributes = nullptr) {
    XWindowAttributes own;
    XWindowAttributes& read = attributes ? *attributes : own;
    if (!XGetWindowAttributes(connection, window, &read))
        return std::nullopt;
    int x = 0;
    int y = 0;
    Window child = 0;
    if (!XTranslateCoordinates(connection, window, read.root, 0, 0, &x, &y, &child))
        return std::nullopt;
    return TScreenRect{x, y, read.width, read.height};
}

// The viewable top-level windows worth choosing, the topmost first, each with
// its client window.
struct TTopWindow {
    Window Top = 0;
    Window Client = 0;
    TScreenRect Area; // the top-level window's, frame and all
};

std::vector<TTopWindow> ChoosableWindows(Display* connection) {
    std::vector<TTopWindow> result;
    const std::vector<Window> tops = ChildrenOf(connection, DefaultRootWindow(connection));
    for (auto top = tops.rbegin(); top != tops.rend(); ++top) {
        XWindowAttributes attributes;
        const auto area = AreaOf(connection, *top, &attributes);
        // Menus, tips and the window manager's own helpers bypass it: not
        // programs' windows.
        if (!area || attributes.map_state != IsViewable || attributes.c_class == InputOnly ||
            attributes.override_redirect)
            continue;
        const Window client = ClientWindowOf(connection, static_cast<std::uint32_t>(*top));
        if (OwnProcess(connection, client) || OwnProcess(connection, *top))
            continue;
        result.push_back({*top,
                          client,
                          {area->X, area->Y, area->Width + 2 * attributes.border_width,
                           area->Height + 2 * attributes.border_width}});
    }
    return result;
}

} // namespace

std::uint32_t ClientWindowOf(_XDisplay* connection, std::uint32_t window) {
    if (HasWmState(connection, window))
        return window;
    const Window found = FindWmStateBelow(connection, window, 0);
    return static_cast<std::uint32_t>(found ? found : window);
}

TX11WindowFinder::TX11WindowFinder(const std::string& displayName) {
    NoteX11Errors();
    FConnection = XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str());
    if (!FConnection) {
        const char* name = displayName.empty() ? std::getenv("DISPLAY") : displayName.c_str();
        throw Exception(std::string("Cannot open the X display \"") + (name ? name : "") + "\"");
    }
}

TX11WindowFinder::~TX11WindowFinder() {
    XCloseDisplay(FConnection);
}

std::vector<TWindowEntry> TX11WindowFinder::List() {
    std::vector<TWindowEntry> entries;
    // Windows that close meanwhile answer with errors, which are dropped.
    for (const TTopWindow& top : ChoosableWindows(FConnection)) {
        std::string title = WindowTitle(FConnection, top.Client);
        const auto area = AreaOf(FConnection, top.Client);
        if (!title.empty() && area)
            entries.push_back({static_cast<std::uint32_t>(top.Client), std::move(title), *area});
    }
    return entries;
}

std::uint32_t TX11WindowFinder::ClientAt(int x, int y) {
    for (const TTopWindow& top : ChoosableWindows(FConnection)) {
        const TScreenRect& area = top.Area;
        if (x >= area.X && y >= area.Y && x < area.X + area.Width && y < area.Y + area.Height)
            return static_cast<std::uint32_t>(top.Client);
    }
    return 0;
}

std::optional<TWindowEntry> TX11WindowFinder::Describe(std::uint32_t window) {
    ClearX11Error();
    const auto area = AreaOf(FConnection, window);
    if (!area || LastX11Error())
        return std::nullopt;
    return TWindowEntry{window, WindowTitle(FConnection, window), *area};
}

std::vector<TWindowEntry> ListTopLevelWindows(const std::string& displayName) {
    return TX11WindowFinder(displayName).List();
}

std::uint32_t ClientWindowAt(int x, int y, const std::string& displayName) {
    return TX11WindowFinder(displayName).ClientAt(x, y);
}

} // namespace vardocle
