#include "platform/screen/X11SeeThrough.h"

#include "platform/screen/X11FramePixmap.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xcomposite.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/Xrender.h>
#include <X11/extensions/shape.h>
#include <unistd.h>

#include <algorithm>
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

// One pass of a composed frame: `Source` (or black, without one) drawn with
// the operator Src into the frame where `Clip` allows, from (SourceX, SourceY)
// to (TargetX, TargetY). The clips of a frame's layers do not overlap and
// together cover the frame, so every pixel is written once.
struct TLayer {
    Picture Source = 0;
    // The same source as a drawable of the frame's depth, when it has one: a
    // plain copy skips Render's format checks (a few per cent a frame).
    Drawable Copy = 0;
    XserverRegion Clip = 0;
    int SourceX = 0;
    int SourceY = 0;
    int TargetX = 0;
    int TargetY = 0;
    int Width = 0;
    int Height = 0;
};

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
    // The screen as it looks, the source of everything not covered.
    Picture RootPicture = 0;
    GC CopyGC = nullptr;
    std::unique_ptr<TX11FramePixmap> Frame;
    // The desktop background set by a wallpaper program, when there is one.
    Pixmap Wallpaper = 0;
    Picture WallpaperPicture = 0;
    bool WallpaperTiled = false;
    // The top-level windows as last asked, bottom first, with their pixel
    // formats and (made when first needed) their pictures.
    bool Dirty = true;
    std::vector<TTopLevel> Windows;
    std::vector<Window> Ids;
    std::vector<XRenderPictFormat*> Formats;
    std::vector<int> Depths;
    std::vector<Picture> Pictures;
    // How a frame of `PlannedArea` is composed, kept while the windows and the
    // area stay as they are: drawing requests only, no questions to the server.
    bool Planned = false;
    TScreenRect PlannedArea;
    std::vector<TLayer> Layers;

    void Watch();
    void Rebuild();
    void Plan(const TScreenRect& area);
    Picture PictureOf(std::size_t index);

    void FreeLayers() {
        for (const TLayer& layer : Layers)
            XFixesDestroyRegion(Connection, layer.Clip);
        Layers.clear();
        Planned = false;
    }

    void FreeWindowPictures() {
        for (Picture picture : Pictures)
            if (picture)
                XRenderFreePicture(Connection, picture);
        Pictures.clear();
    }

    void FreeWallpaper() {
        if (WallpaperPicture)
            XRenderFreePicture(Connection, WallpaperPicture);
        WallpaperPicture = 0;
        Wallpaper = 0;
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
        WallpaperTiled = repeat.repeat != RepeatNone;
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
    }
    state.Available = composite && render && fixes && state.RootFormat;
    if (state.Available) {
        state.Frame = std::make_unique<TX11FramePixmap>(connection, root, state.RootFormat);
        XRenderPictureAttributes inferiors{};
        inferiors.subwindow_mode = IncludeInferiors;
        state.RootPicture =
            XRenderCreatePicture(connection, root, state.RootFormat, CPSubwindowMode, &inferiors);
        XGCValues values{};
        values.subwindow_mode = IncludeInferiors;
        values.graphics_exposures = False;
        state.CopyGC = XCreateGC(connection, root, GCSubwindowMode | GCGraphicsExposures, &values);
    }
    state.Opacity = XInternAtom(connection, "_NET_WM_WINDOW_OPACITY", False);
    state.Pid = XInternAtom(connection, "_NET_WM_PID", False);
    state.WmState = XInternAtom(connection, "WM_STATE", False);
    state.RootPixmap = XInternAtom(connection, "_XROOTPMAP_ID", False);
    state.SetRootPixmap = XInternAtom(connection, "ESETROOT_PMAP_ID", False);
}

TX11SeeThrough::~TX11SeeThrough() {
    FState->FreeLayers();
    FState->FreeWindowPictures();
    FState->Frame.reset();
    if (FState->RootPicture)
        XRenderFreePicture(FState->Connection, FState->RootPicture);
    if (FState->CopyGC)
        XFreeGC(FState->Connection, FState->CopyGC);
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

void TX11SeeThrough::NoteEvent(const XEvent& event) {
    TState& state = *FState;
    if (event.type == PropertyNotify) {
        const Atom name = event.xproperty.atom;
        if (name == state.Opacity || name == state.Pid || name == state.WmState ||
            name == state.RootPixmap || name == state.SetRootPixmap)
            state.Dirty = true;
    } else {
        // Stacking, mapping, moving, shapes.
        state.Dirty = true;
    }
}

void TX11SeeThrough::TState::Rebuild() {
    Dirty = false;
    FreeLayers();
    FreeWindowPictures();
    Windows.clear();
    Ids.clear();
    Formats.clear();
    Depths.clear();
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
        Depths.push_back(attributes.depth);
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

void TX11SeeThrough::TState::Plan(const TScreenRect& area) {
    FreeLayers();
    Planned = true;
    PlannedArea = area;
    std::vector<std::size_t> seeThrough;
    for (std::size_t i = 0; i < Windows.size(); ++i) {
        const TTopLevel& top = Windows[i];
        if (top.Viewable && !top.InputOnlyWindow && IsSeeThrough(top.Look) &&
            !top.Area.Intersect(area).Empty())
            seeThrough.push_back(i);
    }
    if (seeThrough.empty())
        return;

    // Exactly the pixels the see-through windows cover (their shapes, not
    // their rectangles), in frame coordinates.
    XRectangle frameRect{0, 0, static_cast<unsigned short>(area.Width),
                         static_cast<unsigned short>(area.Height)};
    const XserverRegion frame = XFixesCreateRegion(Connection, &frameRect, 1);
    const XserverRegion covered = XFixesCreateRegion(Connection, nullptr, 0);
    TScreenRect box = Windows[seeThrough.front()].Area.Intersect(area);
    for (std::size_t index : seeThrough) {
        const XserverRegion shape =
            XFixesCreateRegionFromWindow(Connection, Ids[index], WindowRegionBounding);
        XFixesTranslateRegion(Connection, shape, Windows[index].Area.X - area.X,
                              Windows[index].Area.Y - area.Y);
        XFixesUnionRegion(Connection, covered, covered, shape);
        XFixesDestroyRegion(Connection, shape);
        const TScreenRect part = Windows[index].Area.Intersect(area);
        const int right = std::max(box.X + box.Width, part.X + part.Width);
        const int bottom = std::max(box.Y + box.Height, part.Y + part.Height);
        box.X = std::min(box.X, part.X);
        box.Y = std::min(box.Y, part.Y);
        box.Width = right - box.X;
        box.Height = bottom - box.Y;
    }
    XFixesIntersectRegion(Connection, covered, covered, frame);

    // The screen itself wherever no see-through window stands.
    const XserverRegion uncovered = XFixesCreateRegion(Connection, nullptr, 0);
    XFixesSubtractRegion(Connection, uncovered, frame, covered);
    XFixesDestroyRegion(Connection, frame);
    Layers.push_back({RootPicture, Root, uncovered, area.X, area.Y, 0, 0, area.Width, area.Height});

    // Beneath them, the windows from the top down, each only where nothing
    // above it was painted, then the background where no window was.
    const TPaintPlan plan = PlanPaint(Windows, box);
    const XserverRegion left = covered;
    for (auto step = plan.Steps.rbegin(); step != plan.Steps.rend(); ++step) {
        const Picture source = PictureOf(step->Window);
        if (!source)
            continue;
        const int targetX = step->TargetX + box.X - area.X;
        const int targetY = step->TargetY + box.Y - area.Y;
        XRectangle stepRect{static_cast<short>(targetX), static_cast<short>(targetY),
                            static_cast<unsigned short>(step->Width),
                            static_cast<unsigned short>(step->Height)};
        const XserverRegion part = XFixesCreateRegion(Connection, &stepRect, 1);
        XFixesIntersectRegion(Connection, part, part, left);
        XFixesSubtractRegion(Connection, left, left, part);
        const Drawable copy = Depths[step->Window] == RootDepth ? Ids[step->Window] : 0;
        Layers.push_back({source, copy, part, step->SourceX, step->SourceY, targetX, targetY,
                          step->Width, step->Height});
    }
    if (plan.Background)
        Layers.push_back({WallpaperPicture, WallpaperTiled ? 0 : Wallpaper, left, area.X, area.Y, 0,
                          0, area.Width, area.Height});
    else
        XFixesDestroyRegion(Connection, left);
}

TScreenGrab TX11SeeThrough::Grab(const TScreenRect& area, const std::vector<TScreenRect>* parts) {
    TState& state = *FState;
    if (!state.Available || area.Empty())
        return {};
    Display* connection = state.Connection;
    // The frame keeps the last picture: only the parts are composed again,
    // unless the windows, the plan or the frame itself changed.
    bool reuse = parts != nullptr;
    if (!state.Redirected)
        state.Watch();
    if (state.Dirty) {
        state.Rebuild();
        reuse = false;
    }
    if (!state.Planned || !(state.PlannedArea == area)) {
        state.Plan(area);
        reuse = false;
    }
    const Pixmap before = state.Frame->Drawable();
    if (state.Layers.empty() || !state.Frame->Ensure(area.Width, area.Height))
        return {};
    reuse = reuse && before == state.Frame->Drawable();

    XserverRegion only = 0;
    XserverRegion clip = 0;
    if (reuse) {
        std::vector<XRectangle> rectangles;
        for (const TScreenRect& part : *parts)
            rectangles.push_back({static_cast<short>(part.X), static_cast<short>(part.Y),
                                  static_cast<unsigned short>(part.Width),
                                  static_cast<unsigned short>(part.Height)});
        only =
            XFixesCreateRegion(connection, rectangles.data(), static_cast<int>(rectangles.size()));
        clip = XFixesCreateRegion(connection, nullptr, 0);
    }
    const Picture target = state.Frame->Target();
    for (const TLayer& layer : state.Layers) {
        // Setting a clip copies the region, so one region serves every layer.
        XserverRegion layerClip = layer.Clip;
        if (reuse) {
            XFixesIntersectRegion(connection, clip, layer.Clip, only);
            layerClip = clip;
        }
        if (layer.Copy) {
            XFixesSetGCClipRegion(connection, state.CopyGC, 0, 0, layerClip);
            XCopyArea(connection, layer.Copy, state.Frame->Drawable(), state.CopyGC, layer.SourceX,
                      layer.SourceY, static_cast<unsigned>(layer.Width),
                      static_cast<unsigned>(layer.Height), layer.TargetX, layer.TargetY);
            continue;
        }
        XFixesSetPictureClipRegion(connection, target, 0, 0, layerClip);
        if (layer.Source) {
            XRenderComposite(connection, PictOpSrc, layer.Source, None, target, layer.SourceX,
                             layer.SourceY, 0, 0, layer.TargetX, layer.TargetY,
                             static_cast<unsigned>(layer.Width),
                             static_cast<unsigned>(layer.Height));
        } else {
            // A bare root without a wallpaper picture: black.
            const XRenderColor black{0, 0, 0, 0xFFFF};
            XRenderFillRectangle(connection, PictOpSrc, target, &black, layer.TargetX,
                                 layer.TargetY, static_cast<unsigned>(layer.Width),
                                 static_cast<unsigned>(layer.Height));
        }
    }
    if (reuse) {
        XFixesDestroyRegion(connection, clip);
        XFixesDestroyRegion(connection, only);
    }
    TScreenGrab grab = state.Frame->Pixels(area.Width, area.Height);
    if (reuse && grab.Pixels) {
        grab.Changed = TChangedRows::Nothing();
        for (const TScreenRect& part : *parts)
            grab.Changed.AddArea(part.X, part.Y, part.Width, part.Height);
    }
    return grab;
}

} // namespace vardocle
