#include "platform/screen/X11AreaOutline.h"

#include "platform/base/Errors.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/shape.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <unistd.h>

namespace vardocle {

std::array<TScreenRect, 4> OutlineStrips(const TScreenRect& area, int thickness) {
    const int wide = area.Width + 2 * thickness;
    return {{{area.X - thickness, area.Y - thickness, wide, thickness},
             {area.X - thickness, area.Y + area.Height, wide, thickness},
             {area.X - thickness, area.Y, thickness, area.Height},
             {area.X + area.Width, area.Y, thickness, area.Height}}};
}

TX11AreaOutline::TX11AreaOutline(const std::string& displayName) {
    FConnection = XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str());
    if (!FConnection)
        throw Exception("Cannot open the X display for the area's frame");
    const int screen = DefaultScreen(FConnection);
    const Window root = RootWindow(FConnection, screen);
    XColor red{};
    red.red = 0xE500;
    red.green = 0x3900;
    red.blue = 0x3500;
    red.flags = DoRed | DoGreen | DoBlue;
    const unsigned long pixel = XAllocColor(FConnection, DefaultColormap(FConnection, screen), &red)
                                    ? red.pixel
                                    : WhitePixel(FConnection, screen);
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixel = pixel;
    const Atom pidAtom = XInternAtom(FConnection, "_NET_WM_PID", False);
    const auto pid = static_cast<long>(getpid());
    int shapeEvents = 0;
    int shapeErrors = 0;
    const bool shape = XShapeQueryExtension(FConnection, &shapeEvents, &shapeErrors);
    for (unsigned long& strip : FStrips) {
        strip = XCreateWindow(FConnection, root, 0, 0, 1, 1, 0, CopyFromParent, InputOutput,
                              CopyFromParent, CWOverrideRedirect | CWBackPixel, &attributes);
        XStoreName(FConnection, strip, "vardocle-area-outline");
        XChangeProperty(FConnection, strip, pidAtom, XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&pid), 1);
        // No input region: clicks and the pointer pass through to what is beneath.
        if (shape)
            XShapeCombineRectangles(FConnection, strip, ShapeInput, 0, 0, nullptr, 0, ShapeSet,
                                    Unsorted);
    }
    XFlush(FConnection);
}

TX11AreaOutline::~TX11AreaOutline() {
    for (const Window strip : FStrips)
        if (strip)
            XDestroyWindow(FConnection, strip);
    XCloseDisplay(FConnection);
}

void TX11AreaOutline::Show(const TScreenRect& area) {
    const auto strips = OutlineStrips(area, kThickness);
    for (std::size_t i = 0; i < FStrips.size(); ++i)
        XMoveResizeWindow(FConnection, FStrips[i], strips[i].X, strips[i].Y,
                          static_cast<unsigned>(strips[i].Width),
                          static_cast<unsigned>(strips[i].Height));
    if (!FShown)
        for (const Window strip : FStrips)
            XMapRaised(FConnection, strip);
    FShown = true;
    XFlush(FConnection);
}

void TX11AreaOutline::Hide() {
    if (!FShown)
        return;
    for (const Window strip : FStrips)
        XUnmapWindow(FConnection, strip);
    FShown = false;
    XFlush(FConnection);
}

void TX11AreaOutline::Raise() {
    if (!FShown || OnTop())
        return;
    for (const Window strip : FStrips)
        XRaiseWindow(FConnection, strip);
    XFlush(FConnection);
}

// Raising a strip that is already on top still tells every program that
// watches the window stack, and a recording of a region takes that for a
// change on the screen: so only when another window has come above.
bool TX11AreaOutline::OnTop() const {
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(FConnection, DefaultRootWindow(FConnection), &root, &parent, &children, &count))
        return false;
    const std::unique_ptr<Window, int (*)(void*)> owned(children, XFree);
    if (count < FStrips.size())
        return false;
    // The children come bottom first: the strips must be the last ones.
    for (std::size_t i = count - FStrips.size(); i < count; ++i)
        if (std::find(FStrips.begin(), FStrips.end(), children[i]) == FStrips.end())
            return false;
    return true;
}

} // namespace vardocle
