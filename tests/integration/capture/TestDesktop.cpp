#include "tests/integration/capture/TestDesktop.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace vardocle::test {

TTestDesktop::TTestDesktop(const std::string& displayName)
    : FConnection(XOpenDisplay(displayName.c_str())) {}

TTestDesktop::~TTestDesktop() {
    if (!FConnection)
        return;
    for (Window window : FWindows)
        XDestroyWindow(FConnection, window);
    for (Colormap colormap : FColormaps)
        XFreeColormap(FConnection, colormap);
    if (FWallpaper) {
        // The display may be shared with other tests: give back the server's
        // own background and drop the name of the pixmap that goes now.
        const Window root = DefaultRootWindow(FConnection);
        XSetWindowBackgroundPixmap(FConnection, root, None);
        XClearWindow(FConnection, root);
        XDeleteProperty(FConnection, root, XInternAtom(FConnection, "_XROOTPMAP_ID", False));
        XFreePixmap(FConnection, FWallpaper);
    }
    XCloseDisplay(FConnection);
}

std::uint32_t TTestDesktop::WallpaperPixel(int x, int y) {
    const auto red = static_cast<std::uint32_t>(x * 3) & 0xFF;
    const auto green = static_cast<std::uint32_t>(y * 5) & 0xFF;
    const auto blue = static_cast<std::uint32_t>(x + 2 * y) & 0xFF;
    return red << 16 | green << 8 | blue;
}

void TTestDesktop::ShowWallpaper() {
    const int screen = DefaultScreen(FConnection);
    const Window root = RootWindow(FConnection, screen);
    const int width = DisplayWidth(FConnection, screen);
    const int height = DisplayHeight(FConnection, screen);
    FWallpaper = XCreatePixmap(FConnection, root, static_cast<unsigned>(width),
                               static_cast<unsigned>(height),
                               static_cast<unsigned>(DefaultDepth(FConnection, screen)));
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels[static_cast<std::size_t>(y) * width + x] = WallpaperPixel(x, y);
    XImage* image =
        XCreateImage(FConnection, DefaultVisual(FConnection, screen),
                     static_cast<unsigned>(DefaultDepth(FConnection, screen)), ZPixmap, 0,
                     reinterpret_cast<char*>(pixels.data()), static_cast<unsigned>(width),
                     static_cast<unsigned>(height), 32, width * 4);
    const GC gc = XCreateGC(FConnection, FWallpaper, 0, nullptr);
    XPutImage(FConnection, FWallpaper, gc, image, 0, 0, 0, 0, static_cast<unsigned>(width),
              static_cast<unsigned>(height));
    XFreeGC(FConnection, gc);
    image->data = nullptr; // the vector owns the pixels
    XDestroyImage(image);
    XSetWindowBackgroundPixmap(FConnection, root, FWallpaper);
    XClearWindow(FConnection, root);
    const Atom property = XInternAtom(FConnection, "_XROOTPMAP_ID", False);
    XChangeProperty(FConnection, root, property, XA_PIXMAP, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&FWallpaper), 1);
    XSync(FConnection, False);
}

Window TTestDesktop::ShowWindow(TTestWindowKind kind, const TTestRect& area, std::uint32_t rgb) {
    const int screen = DefaultScreen(FConnection);
    const Window root = RootWindow(FConnection, screen);
    XSetWindowAttributes attributes{};
    unsigned long mask = CWBackPixel | CWBorderPixel;
    attributes.background_pixel = rgb;
    attributes.border_pixel = 0;
    Visual* visual = DefaultVisual(FConnection, screen);
    int depth = DefaultDepth(FConnection, screen);
    if (kind == TTestWindowKind::Argb) {
        XVisualInfo info{};
        if (XMatchVisualInfo(FConnection, screen, 32, TrueColor, &info)) {
            visual = info.visual;
            depth = 32;
            attributes.colormap = XCreateColormap(FConnection, root, visual, AllocNone);
            FColormaps.push_back(attributes.colormap);
            mask |= CWColormap;
            // Half see-through, premultiplied.
            attributes.background_pixel = 0x80000000u | ((rgb >> 1) & 0x7F7F7F);
        }
    }
    const Window window = XCreateWindow(
        FConnection, root, area.X, area.Y, static_cast<unsigned>(area.Width),
        static_cast<unsigned>(area.Height), 0, depth, InputOutput, visual, mask, &attributes);
    if (kind == TTestWindowKind::OpacityHint) {
        const unsigned long half = 0x80000000ul;
        XChangeProperty(FConnection, window,
                        XInternAtom(FConnection, "_NET_WM_WINDOW_OPACITY", False), XA_CARDINAL, 32,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(&half), 1);
    }
    if (kind == TTestWindowKind::OwnProcess) {
        const unsigned long pid = static_cast<unsigned long>(getpid());
        XChangeProperty(FConnection, window, XInternAtom(FConnection, "_NET_WM_PID", False),
                        XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&pid), 1);
    }
    XMapWindow(FConnection, window);
    XSync(FConnection, False);
    FWindows.push_back(window);
    return window;
}

void TTestDesktop::MoveWindow(Window window, int x, int y) {
    XMoveWindow(FConnection, window, x, y);
    XSync(FConnection, False);
}

void TTestDesktop::HideWindow(Window window) {
    XUnmapWindow(FConnection, window);
    XSync(FConnection, False);
}

bool TTestDesktop::WaitForWindow(const std::string& name, int timeoutMs) {
    const Window root = DefaultRootWindow(FConnection);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        Window rootReturn = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        bool found = false;
        if (XQueryTree(FConnection, root, &rootReturn, &parent, &children, &count)) {
            for (unsigned i = 0; i < count && !found; ++i) {
                XWindowAttributes attributes;
                char* title = nullptr;
                if (XGetWindowAttributes(FConnection, children[i], &attributes) &&
                    attributes.map_state == IsViewable &&
                    XFetchName(FConnection, children[i], &title) && title) {
                    found = name == title;
                }
                if (title)
                    XFree(title);
            }
            if (children)
                XFree(children);
        }
        if (found)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

void TTestDesktop::SetMonitors(const std::vector<TTestRect>& monitors, std::size_t primary) {
    const Window root = DefaultRootWindow(FConnection);
    int count = 0;
    if (XRRMonitorInfo* existing = XRRGetMonitors(FConnection, root, False, &count)) {
        // The server's own monitor of the whole screen cannot be deleted
        // (BadValue): the primary flag of the new ones wins over it.
        for (int i = 0; i < count; ++i)
            if (!existing[i].automatic)
                XRRDeleteMonitor(FConnection, root, existing[i].name);
        XRRFreeMonitors(existing);
    }
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        XRRMonitorInfo* info = XRRAllocateMonitor(FConnection, 0);
        const std::string name = "test-monitor-" + std::to_string(i);
        info->name = XInternAtom(FConnection, name.c_str(), False);
        info->primary = i == primary;
        info->automatic = False;
        info->x = monitors[i].X;
        info->y = monitors[i].Y;
        info->width = monitors[i].Width;
        info->height = monitors[i].Height;
        info->mwidth = monitors[i].Width / 4;
        info->mheight = monitors[i].Height / 4;
        XRRSetMonitor(FConnection, root, info);
        XRRFreeMonitors(info);
    }
    XSync(FConnection, False);
}

void TTestDesktop::MovePointer(int x, int y) {
    XWarpPointer(FConnection, None, DefaultRootWindow(FConnection), 0, 0, 0, 0, x, y);
    XSync(FConnection, False);
}

} // namespace vardocle::test
