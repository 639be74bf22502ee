#include "platform/screen/X11SeeThrough.h"

#include "platform/screen/X11SharedImage.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xcomposite.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/Xrender.h>
#include <X11/extensions/shape.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

namespace vardocle {

namespace {

// Frees what Xlib hands out with XFree.
template <typename T> struct TXFreeDeleter {
    void operator()(T* data) const {
        if (data)
            XFree(data);
    }
};
template <typename T> using TXFreePtr = std::unique_ptr<T, TXFreeDeleter<T>>;

} // namespace

struct TX11SeeThrough::TState {
    Display* Connection = nullptr;
    Window Root = 0;
    bool Available = false;
    bool Redirected = false;
    bool HaveShape = false;
    XRenderPictFormat* RootFormat = nullptr;
    int RootDepth = 0;
    Atom Opacity = 0;
    Atom Pid = 0;
    Atom WmState = 0;
    Atom RootPixmap = 0;
    Atom SetRootPixmap = 0;
    // The scratch surface in which the covered parts are composed.
    Pixmap Scratch = 0;
    Picture ScratchPicture = 0;
    int ScratchWidth = 0;
    int ScratchHeight = 0;
    // The desktop background set by a wallpaper program, when there is one.
    Pixmap Wallpaper = 0;
    Picture WallpaperPicture = 0;
    // The top-level windows as last asked, bottom first, with their pixel
    // formats and (made when first needed) their pictures.
    bool Dirty = true;
    std::vector<TTopLevel> Windows;
    std::vector<Window> Ids;
    std::vector<XRenderPictFormat*> Formats;
    std::vector<Picture> Pictures;
    std::unique_ptr<TX11SharedImage> BoxImage;

    void Watch();
    void TakeEvents();
    void Rebuild();
    Picture PictureOf(std::size_t index);

    void FreeWindowPictures() {
        for (Picture picture : Pictures)
            if (picture)
                XRenderFreePicture(Connection, picture);
        Pictures.clear();
    }

    void FreeScratch() {
        if (ScratchPicture)
            XRenderFreePicture(Connection, ScratchPicture);
        if (Scratch)
            XFreePixmap(Connection, Scratch);
        ScratchPicture = 0;
        Scratch = 0;
        ScratchWidth = ScratchHeight = 0;
    }

    void FreeWallpaper() {
        if (WallpaperPicture)
            XRenderFreePicture(Connection, WallpaperPicture);
        WallpaperPicture = 0;
        Wallpaper = 0;
    }

    void EnsureScratch(int width, int height) {
        if (Scratch && ScratchWidth >= width && ScratchHeight >= height)
            return;
        FreeScratch();
        Scratch = XCreatePixmap(Connection, Root, static_cast<unsigned>(width),
                                static_cast<unsigned>(height), static_cast<unsigned>(RootDepth));
        ScratchPicture = XRenderCreatePicture(Connection, Scratch, RootFormat, 0, nullptr);
        ScratchWidth = width;
        ScratchHeight = height;
    }

    std::optional<std::uint32_t> ReadCardinal(Window window, Atom property, Atom type) const {
        Atom actualType = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long remaining = 0;
        unsigned char* raw = nullptr;
        if (XGetWindowProperty(Connection, window, property, 0, 1, False, type, &actualType,
                               &format, &count, &remaining, &raw) != Success)
            return std::nullopt;
        TXFreePtr<unsigned char> data(raw);
        if (actualType != type || format != 32 || count < 1 || !data)
            return std::nullopt;
        // 32-bit properties come in longs, whatever a long's size.
        return static_cast<std::uint32_t>(*reinterpret_cast<const unsigned long*>(data.get()));
    }

    bool HasProperty(Window window, Atom property) const {
        Atom actualType = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long remaining = 0;
        unsigned char* raw = nullptr;
        XGetWindowProperty(Connection, window, property, 0, 0, False, AnyPropertyType, &actualType,
                           &format, &count, &remaining, &raw);
        TXFreePtr<unsigned char> data(raw);
        return actualType != None;
    }

    // The program's window inside a window manager's frame, or the window itself.
    Window ClientOf(Window topLevel) const {
        if (HasProperty(topLevel, WmState) || HasProperty(topLevel, Pid))
            return topLevel;
        Window rootReturn = 0;
        Window parent = 0;
        Window* raw = nullptr;
        unsigned count = 0;
        if (!XQueryTree(Connection, topLevel, &rootReturn, &parent, &raw, &count))
            return topLevel;
        TXFreePtr<Window> children(raw);
        for (unsigned i = 0; i < count; ++i)
            if (HasProperty(children.get()[i], WmState))
                return children.get()[i];
        return topLevel;
    }

    TWindowLook LookOf(Window window, const XWindowAttributes& attributes) const {
        TWindowLook look;
        if (HaveShape) {
            Bool bounding = False;
            Bool clip = False;
            int x = 0, y = 0, cx = 0, cy = 0;
            unsigned w = 0, h = 0, cw = 0, ch = 0;
            if (XShapeQueryExtents(Connection, window, &bounding, &x, &y, &w, &h, &clip, &cx, &cy,
                                   &cw, &ch))
                look.ShapedBounding = bounding;
        }
        const XRenderPictFormat* format = XRenderFindVisualFormat(Connection, attributes.visual);
        look.AlphaVisual = format && format->type == PictTypeDirect && format->direct.alphaMask;
        const Window client = ClientOf(window);
        look.Opacity = ReadCardinal(window, Opacity, XA_CARDINAL);
        if (!look.Opacity && client != window)
            look.Opacity = ReadCardinal(client, Opacity, XA_CARDINAL);
        const auto pid = ReadCardinal(client, Pid, XA_CARDINAL);
        look.OwnProcess = pid && *pid == static_cast<std::uint32_t>(getpid());
        return look;
    }

    // The wallpaper's picture, or none when no wallpaper program left one.
    Picture WallpaperNow() {
        std::optional<std::uint32_t> pixmap = ReadCardinal(Root, RootPixmap, XA_PIXMAP);
        if (!pixmap)
            pixmap = ReadCardinal(Root, SetRootPixmap, XA_PIXMAP);
        if (!pixmap || *pixmap == 0) {
            FreeWallpaper();
            return 0;
        }
        if (*pixmap == Wallpaper)
            return WallpaperPicture;
        FreeWallpaper();
        Window rootReturn = 0;
        int x = 0, y = 0;
        unsigned width = 0, height = 0, border = 0, depth = 0;
        if (!XGetGeometry(Connection, *pixmap, &rootReturn, &x, &y, &width, &height, &border,
                          &depth) ||
            static_cast<int>(depth) != RootDepth)
            return 0;
        // A small wallpaper is tiled, as the root's background is; a whole
        // one is copied without the slower tiling.
        XWindowAttributes root;
        XGetWindowAttributes(Connection, Root, &root);
        XRenderPictureAttributes repeat{};
        repeat.repeat =
            static_cast<int>(width) >= root.width && static_cast<int>(height) >= root.height
                ? RepeatNone
                : RepeatNormal;
        Wallpaper = *pixmap;
        WallpaperPicture =
            XRenderCreatePicture(Connection, Wallpaper, RootFormat, CPRepeat, &repeat);
        return WallpaperPicture;
    }
};

TX11SeeThrough::TX11SeeThrough(Display* connection, Window root)
    : FState(std::make_unique<TState>()) {
    TState& state = *FState;
    state.Connection = connection;
    state.Root = root;
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    const bool composite = XCompositeQueryExtension(connection, &eventBase, &errorBase) &&
                           XCompositeQueryVersion(connection, &major, &minor) &&
                           (major > 0 || minor >= 2);
    const bool render = XRenderQueryExtension(connection, &eventBase, &errorBase);
    major = minor = 0;
    const bool fixes = XFixesQueryExtension(connection, &eventBase, &errorBase) &&
                       XFixesQueryVersion(connection, &major, &minor) && major >= 2;
    state.HaveShape = XShapeQueryExtension(connection, &eventBase, &errorBase);
    if (render) {
        XWindowAttributes attributes;
        XGetWindowAttributes(connection, root, &attributes);
        state.RootFormat = XRenderFindVisualFormat(connection, attributes.visual);
        state.RootDepth = attributes.depth;
        state.BoxImage =
            std::make_unique<TX11SharedImage>(connection, attributes.visual, attributes.depth);
    }
    state.Available = composite && render && fixes && state.RootFormat;
    state.Opacity = XInternAtom(connection, "_NET_WM_WINDOW_OPACITY", False);
    state.Pid = XInternAtom(connection, "_NET_WM_PID", False);
    state.WmState = XInternAtom(connection, "WM_STATE", False);
    state.RootPixmap = XInternAtom(connection, "_XROOTPMAP_ID", False);
    state.SetRootPixmap = XInternAtom(connection, "ESETROOT_PMAP_ID", False);
}

TX11SeeThrough::~TX11SeeThrough() {
    FState->BoxImage.reset();
    FState->FreeWindowPictures();
    FState->FreeScratch();
    FState->FreeWallpaper();
    if (FState->Redirected)
        XCompositeUnredirectSubwindows(FState->Connection, FState->Root,
                                       CompositeRedirectAutomatic);
}

bool TX11SeeThrough::Available() const {
    return FState->Available;
}

void TX11SeeThrough::TState::Watch() {
    // Changes of the window stack and of the wallpaper come as events, so
    // the windows are asked about again only when something changed.
    XSelectInput(Connection, Root, SubstructureNotifyMask | PropertyChangeMask);
    XCompositeRedirectSubwindows(Connection, Root, CompositeRedirectAutomatic);
    Redirected = true;
}

void TX11SeeThrough::TState::TakeEvents() {
    // The grab just before has waited for the server, so every change made
    // before it has arrived; no round trip of our own is needed.
    while (XPending(Connection)) {
        XEvent event;
        XNextEvent(Connection, &event);
        if (event.type == PropertyNotify) {
            const Atom name = event.xproperty.atom;
            if (name == Opacity || name == Pid || name == WmState || name == RootPixmap ||
                name == SetRootPixmap)
                Dirty = true;
        } else {
            // Stacking, mapping, moving, shapes.
            Dirty = true;
        }
    }
}

void TX11SeeThrough::TState::Rebuild() {
    Dirty = false;
    FreeWindowPictures();
    Windows.clear();
    Ids.clear();
    Formats.clear();
    WallpaperNow();
    Window rootReturn = 0;
    Window parent = 0;
    Window* raw = nullptr;
    unsigned count = 0;
    if (!XQueryTree(Connection, Root, &rootReturn, &parent, &raw, &count))
        return;
    TXFreePtr<Window> children(raw);
    for (unsigned i = 0; i < count; ++i) {
        const Window window = children.get()[i];
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(Connection, window, &attributes))
            continue;
        TTopLevel top;
        top.Area = {attributes.x + attributes.border_width, attributes.y + attributes.border_width,
                    attributes.width, attributes.height};
        top.Viewable = attributes.map_state == IsViewable;
        top.InputOnlyWindow = attributes.c_class == InputOnly;
        XRenderPictFormat* format = nullptr;
        if (!top.InputOnlyWindow) {
            XSelectInput(Connection, window, PropertyChangeMask);
            if (HaveShape)
                XShapeSelectInput(Connection, window, ShapeNotifyMask);
            format = XRenderFindVisualFormat(Connection, attributes.visual);
            if (top.Viewable)
                top.Look = LookOf(window, attributes);
        }
        Windows.push_back(top);
        Ids.push_back(window);
        Formats.push_back(format);
        Pictures.push_back(0);
    }
}

Picture TX11SeeThrough::TState::PictureOf(std::size_t index) {
    if (!Pictures[index] && Formats[index]) {
        XRenderPictureAttributes inferiors{};
        inferiors.subwindow_mode = IncludeInferiors;
        Pictures[index] = XRenderCreatePicture(Connection, Ids[index], Formats[index],
                                               CPSubwindowMode, &inferiors);
    }
    return Pictures[index];
}

void TX11SeeThrough::Remove(std::uint8_t* pixels, std::ptrdiff_t stride, const TScreenRect& area) {
    TState& state = *FState;
    if (!state.Available)
        return;
    Display* connection = state.Connection;
    if (!state.Redirected)
        state.Watch();
    state.TakeEvents();
    if (state.Dirty)
        state.Rebuild();
    const std::vector<TTopLevel>& windows = state.Windows;

    std::vector<std::size_t> seeThrough;
    for (std::size_t i = 0; i < windows.size(); ++i) {
        const TTopLevel& top = windows[i];
        if (top.Viewable && !top.InputOnlyWindow && IsSeeThrough(top.Look) &&
            !top.Area.Intersect(area).Empty())
            seeThrough.push_back(i);
    }
    if (seeThrough.empty())
        return;

    // The box around the see-through windows is all that is composed again.
    TScreenRect box = windows[seeThrough.front()].Area.Intersect(area);
    for (std::size_t index : seeThrough) {
        const TScreenRect part = windows[index].Area.Intersect(area);
        const int right = std::max(box.X + box.Width, part.X + part.Width);
        const int bottom = std::max(box.Y + box.Height, part.Y + part.Height);
        box.X = std::min(box.X, part.X);
        box.Y = std::min(box.Y, part.Y);
        box.Width = right - box.X;
        box.Height = bottom - box.Y;
    }

    // Exactly the pixels the see-through windows cover (their shapes, not their
    // rectangles), in the box's coordinates.
    XRectangle boxRect{0, 0, static_cast<unsigned short>(box.Width),
                       static_cast<unsigned short>(box.Height)};
    const XserverRegion covered = XFixesCreateRegion(connection, nullptr, 0);
    for (std::size_t index : seeThrough) {
        const XserverRegion shape =
            XFixesCreateRegionFromWindow(connection, state.Ids[index], WindowRegionBounding);
        XFixesTranslateRegion(connection, shape, windows[index].Area.X - box.X,
                              windows[index].Area.Y - box.Y);
        XFixesUnionRegion(connection, covered, covered, shape);
        XFixesDestroyRegion(connection, shape);
    }
    const XserverRegion boxRegion = XFixesCreateRegion(connection, &boxRect, 1);
    XFixesIntersectRegion(connection, covered, covered, boxRegion);
    XFixesDestroyRegion(connection, boxRegion);

    state.EnsureScratch(box.Width, box.Height);
    // Painted from the top down, each window only where nothing above it was
    // painted, so that every covered pixel is written once.
    const TPaintPlan plan = PlanPaint(windows, box);
    const XserverRegion left = XFixesCreateRegion(connection, nullptr, 0);
    XFixesCopyRegion(connection, left, covered);
    const XserverRegion part = XFixesCreateRegion(connection, nullptr, 0);
    for (auto step = plan.Steps.rbegin(); step != plan.Steps.rend(); ++step) {
        const Picture source = state.PictureOf(step->Window);
        if (!source)
            continue;
        XRectangle stepRect{static_cast<short>(step->TargetX), static_cast<short>(step->TargetY),
                            static_cast<unsigned short>(step->Width),
                            static_cast<unsigned short>(step->Height)};
        XFixesSetRegion(connection, part, &stepRect, 1);
        XFixesIntersectRegion(connection, part, part, left);
        XFixesSetPictureClipRegion(connection, state.ScratchPicture, 0, 0, part);
        XRenderComposite(connection, PictOpSrc, source, None, state.ScratchPicture, step->SourceX,
                         step->SourceY, 0, 0, step->TargetX, step->TargetY,
                         static_cast<unsigned>(step->Width), static_cast<unsigned>(step->Height));
        XFixesSubtractRegion(connection, left, left, part);
    }
    XFixesSetPictureClipRegion(connection, state.ScratchPicture, 0, 0, left);
    if (plan.Background && state.WallpaperPicture) {
        XRenderComposite(connection, PictOpSrc, state.WallpaperPicture, None, state.ScratchPicture,
                         box.X, box.Y, 0, 0, 0, 0, static_cast<unsigned>(box.Width),
                         static_cast<unsigned>(box.Height));
    } else if (plan.Background) {
        const XRenderColor black{0, 0, 0, 0xFFFF};
        XRenderFillRectangle(connection, PictOpSrc, state.ScratchPicture, &black, 0, 0,
                             static_cast<unsigned>(box.Width), static_cast<unsigned>(box.Height));
    }
    XFixesDestroyRegion(connection, part);
    XFixesDestroyRegion(connection, left);
    XFixesSetPictureClipRegion(connection, state.ScratchPicture, 0, 0, None);

    int rectangleCount = 0;
    TXFreePtr<XRectangle> rectangles(XFixesFetchRegion(connection, covered, &rectangleCount));
    XFixesDestroyRegion(connection, covered);
    const XImage* image = state.BoxImage->Read(state.Scratch, 0, 0, box.Width, box.Height);
    if (!image || image->bits_per_pixel != 32 || !rectangles)
        return;
    for (int i = 0; i < rectangleCount; ++i) {
        const XRectangle& r = rectangles.get()[i];
        const int targetX = box.X - area.X + r.x;
        const int targetY = box.Y - area.Y + r.y;
        for (int row = 0; row < r.height; ++row) {
            const auto* from = reinterpret_cast<const std::uint8_t*>(image->data) +
                               static_cast<std::ptrdiff_t>(r.y + row) * image->bytes_per_line +
                               static_cast<std::ptrdiff_t>(r.x) * 4;
            std::uint8_t* to = pixels + static_cast<std::ptrdiff_t>(targetY + row) * stride +
                               static_cast<std::ptrdiff_t>(targetX) * 4;
            std::memcpy(to, from, static_cast<std::size_t>(r.width) * 4);
        }
    }
}

} // namespace vardocle
