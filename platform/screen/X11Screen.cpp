#include "platform/screen/X11Screen.h"

#include "platform/base/Errors.h"
#include "platform/screen/X11ImageReader.h"
#include "platform/screen/X11SeeThrough.h"
#include "platform/screen/X11SharedImage.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/Xrandr.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace vardocle {

struct TX11Screen::TState {
    Display* Connection = nullptr;
    Window Root = 0;
    bool HaveShm = false;
    bool HaveFixes = false;
    bool HaveMonitors = false;
    // The plain grab's picture, reused from frame to frame.
    std::unique_ptr<TX11ImageReader> Reader;
    std::unique_ptr<TX11SeeThrough> SeeThrough;
    TScreenRect Area;
};

TX11Screen::TX11Screen(const std::string& displayName) : FState(std::make_unique<TState>()) {
    NoteX11Errors();
    FState->Connection = XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str());
    if (!FState->Connection) {
        const char* name = displayName.empty() ? std::getenv("DISPLAY") : displayName.c_str();
        throw Exception(std::string("Cannot open the X display \"") + (name ? name : "") + "\"");
    }
    FState->Root = DefaultRootWindow(FState->Connection);
    int major = 0;
    int minor = 0;
    Bool pixmaps = False;
    FState->HaveShm = XShmQueryVersion(FState->Connection, &major, &minor, &pixmaps);
    int eventBase = 0;
    int errorBase = 0;
    FState->HaveFixes = XFixesQueryExtension(FState->Connection, &eventBase, &errorBase);
    major = minor = 0;
    FState->HaveMonitors = XRRQueryExtension(FState->Connection, &eventBase, &errorBase) &&
                           XRRQueryVersion(FState->Connection, &major, &minor) &&
                           (major > 1 || (major == 1 && minor >= 5));
    FState->SeeThrough = std::make_unique<TX11SeeThrough>(FState->Connection, FState->Root);
    XWindowAttributes attributes;
    XGetWindowAttributes(FState->Connection, FState->Root, &attributes);
    FState->Reader = std::make_unique<TX11ImageReader>(FState->Connection, attributes.visual,
                                                       attributes.depth, FState->HaveShm);
}

TX11Screen::~TX11Screen() {
    FState->SeeThrough.reset();
    FState->Reader.reset();
    XCloseDisplay(FState->Connection);
}

bool TX11Screen::UsesSharedMemory() const {
    return FState->HaveShm;
}

bool TX11Screen::TransparentExclusionAvailable() const {
    return FState->SeeThrough->Available();
}

TScreenNotice TransparentExclusionMissingNotice() {
    return {"X 服务器缺少 Composite、Render 或 XFixes 扩展，透明窗体(包括本程序)无法从录像中"
            "去除，将被一并录下",
            "the X server lacks the Composite, Render or XFixes extension: transparent windows "
            "(the recorder's own included) cannot be left out and will be recorded"};
}

TScreenGrab TX11Screen::Grab() {
    TState& state = *FState;
    // The size and the monitors are read anew for every frame: the screen may
    // change under us.
    const Screen* screen = DefaultScreenOfDisplay(state.Connection);
    XWindowAttributes root;
    XGetWindowAttributes(state.Connection, state.Root, &root);
    const int rootWidth = root.width > 0 ? root.width : WidthOfScreen(screen);
    const int rootHeight = root.height > 0 ? root.height : HeightOfScreen(screen);
    std::vector<TMonitor> monitors;
    if (state.HaveMonitors) {
        int count = 0;
        XRRMonitorInfo* info = XRRGetMonitors(state.Connection, state.Root, True, &count);
        for (int i = 0; info && i < count; ++i)
            monitors.push_back(
                {{info[i].x, info[i].y, info[i].width, info[i].height}, info[i].primary != 0});
        if (info)
            XRRFreeMonitors(info);
    }
    const TScreenRect area = ChoosePrimaryMonitor(monitors, rootWidth, rootHeight);
    state.Area = area;
    if (!FCaptureTransparent) {
        const TScreenGrab composed = state.SeeThrough->Grab(area);
        if (composed.Pixels)
            return composed;
    }
    const XImage* image = state.Reader->Read(state.Root, area.X, area.Y, area.Width, area.Height);
    if (!image)
        throw Exception("The screen cannot be read");
    if (image->bits_per_pixel != 32 || image->byte_order != LSBFirst)
        throw Exception("Unsupported screen format: only 24- and 32-bit screens can be recorded");
    return {reinterpret_cast<std::uint8_t*>(image->data), image->width, image->height,
            image->bytes_per_line};
}

TCursorImage TX11Screen::Cursor() {
    TCursorImage cursor;
    if (!FState->HaveFixes)
        return cursor;
    XFixesCursorImage* image = XFixesGetCursorImage(FState->Connection);
    if (!image)
        return cursor;
    // The pointer's place in the grabbed picture, which starts at the monitor's corner.
    cursor.X = image->x - FState->Area.X;
    cursor.Y = image->y - FState->Area.Y;
    cursor.HotX = image->xhot;
    cursor.HotY = image->yhot;
    cursor.Width = image->width;
    cursor.Height = image->height;
    const std::size_t count = static_cast<std::size_t>(image->width) * image->height;
    cursor.Pixels.resize(count);
    bool anyVisible = false;
    // XFixes hands 32-bit pixels in longs, whatever a long's size.
    for (std::size_t i = 0; i < count; ++i) {
        cursor.Pixels[i] = static_cast<std::uint32_t>(image->pixels[i]);
        anyVisible = anyVisible || (cursor.Pixels[i] >> 24) != 0;
    }
    XFree(image);
    // A cursor made invisible is an empty or fully transparent picture.
    cursor.Visible = anyVisible;
    return cursor;
}

} // namespace vardocle
