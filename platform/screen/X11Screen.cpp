#include "platform/screen/X11Screen.h"

#include "platform/base/Errors.h"
#include "platform/screen/AreaPicture.h"
#include "platform/screen/KeptParts.h"
#include "platform/screen/X11ChangeWatch.h"
#include "platform/screen/X11CursorImage.h"
#include "platform/screen/X11ImageReader.h"
#include "platform/screen/X11SeeThrough.h"
#include "platform/screen/X11SharedImage.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

namespace vardocle {

struct TX11Screen::TState {
    Display* Connection = nullptr;
    Window Root = 0;
    bool HaveShm = false;
    bool HaveFixes = false;
    bool HaveMonitors = false;
    // The plain grab's picture, reused from frame to frame, and the reader
    // of the parts that changed, which are copied into it.
    std::unique_ptr<TX11ImageReader> Reader;
    std::unique_ptr<TX11ImageReader> PartReader;
    XImage* Plain = nullptr;
    std::unique_ptr<TX11SeeThrough> SeeThrough;
    std::unique_ptr<TX11ChangeWatch> Watch;
    // What is to be recorded, where it lay at the last grab (the cursor's
    // place is told from its corner) and the part of it on the screen.
    TCaptureArea Wanted;
    TScreenRect Area;
    TScreenRect Visible;
    bool AreaKnown = false;
    // The picture of an area partly or wholly off the screen.
    TAreaPicture Padded;
    TScreenNoticeHandler OnNotice;
    bool MissingTold = false;
    // The layout as last read; read again when RandR says it changed.
    bool LayoutKnown = false;
    std::chrono::steady_clock::time_point LayoutRead;
    std::chrono::milliseconds LayoutCheckInterval{10000};
    int RootWidth = 0;
    int RootHeight = 0;
    std::vector<TNamedMonitor> Monitors;
    std::vector<TNamedMonitor> OutputNames;
    // Whether TakeChanges made the round trip for this frame, and the
    // pointer's place on the root that it learnt.
    bool ChangesTaken = false;
    bool PointerFresh = false;
    int PointerX = 0;
    int PointerY = 0;
    bool PointerKnown = false;
    bool WindowsChanged = false;
    // What the last grab gave, which the next one may keep but for what
    // changed; nothing kept until a grab has succeeded.
    enum class TKept { Nothing, Plain, Composed } Kept = TKept::Nothing;
    TScreenRect KeptArea;
    // The last grab's picture, and its parts as they were before they are
    // read again.
    TScreenGrab Last;
    TKeptParts Before;
    bool WholeNext = true;
    std::vector<TScreenRect> DrawnOver;
    // Set once the connection broke (the X server went away): nothing more
    // is asked of it.
    std::atomic<bool> Lost{false};
    // The cursor's picture, asked for again when XFixes says it changed.
    bool CursorKnown = false;
    TCursorImage CursorPicture;
};

TX11Screen::TX11Screen(const std::string& displayName, const TCaptureArea& area)
    : FState(std::make_unique<TState>()) {
    FState->Wanted = area;
    NoteX11Errors();
    FState->Connection = XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str());
    if (!FState->Connection) {
        const char* name = displayName.empty() ? std::getenv("DISPLAY") : displayName.c_str();
        throw Exception(std::string("Cannot open the X display \"") + (name ? name : "") + "\"");
    }
    // A broken connection ends this screen's grabs, not the process: Xlib's
    // own answer is exit(), in the middle of a frame of a recording that
    // still has to be finished.
    XSetIOErrorExitHandler(
        FState->Connection,
        [](Display*, void* lost) { static_cast<std::atomic<bool>*>(lost)->store(true); },
        &FState->Lost);
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
    FState->Watch = std::make_unique<TX11ChangeWatch>(FState->Connection, FState->Root);
    XWindowAttributes attributes;
    XGetWindowAttributes(FState->Connection, FState->Root, &attributes);
    FState->Reader = std::make_unique<TX11ImageReader>(FState->Connection, attributes.visual,
                                                       attributes.depth, FState->HaveShm);
    FState->PartReader = std::make_unique<TX11ImageReader>(FState->Connection, attributes.visual,
                                                           attributes.depth, FState->HaveShm);
}

TX11Screen::~TX11Screen() {
    if (FState->Lost) {
        // The server is gone, and Xlib keeps the connection locked by the
        // thread that met the break: a call from this one would wait for
        // ever. Nothing is released through it; the process is ending.
        [[maybe_unused]] auto* watch = FState->Watch.release();
        [[maybe_unused]] auto* seeThrough = FState->SeeThrough.release();
        [[maybe_unused]] auto* partReader = FState->PartReader.release();
        [[maybe_unused]] auto* reader = FState->Reader.release();
        return;
    }
    FState->Watch.reset();
    FState->SeeThrough.reset();
    FState->PartReader.reset();
    FState->Reader.reset();
    XCloseDisplay(FState->Connection);
}

bool TX11Screen::UsesSharedMemory() const {
    return FState->HaveShm;
}

bool TX11Screen::TellsChanges() const {
    return FState->Watch->Available();
}

// Every event of the connection passes here once: the change watch's own,
// and the window changes the see-through grab follows.
void TX11Screen::TakeEvents() {
    TState& state = *FState;
    while (XPending(state.Connection)) {
        XEvent event;
        XNextEvent(state.Connection, &event);
        if (!state.Watch->Take(event)) {
            state.SeeThrough->NoteEvent(event);
            state.WindowsChanged = true;
        }
    }
    if (state.Watch->LayoutChanged())
        state.LayoutKnown = false;
    if (state.Watch->CursorLookChanged())
        state.CursorKnown = false;
}

TScreenChanges TX11Screen::TakeChanges() {
    TState& state = *FState;
    if (state.Lost || !state.Watch->Available())
        return {};
    // One round trip: the pointer's place, and every notification the server
    // sent before it has arrived.
    Window rootReturn = 0;
    Window child = 0;
    int x = 0;
    int y = 0;
    int windowX = 0;
    int windowY = 0;
    unsigned mask = 0;
    const bool pointer = XQueryPointer(state.Connection, state.Root, &rootReturn, &child, &x, &y,
                                       &windowX, &windowY, &mask);
    TakeEvents();
    TScreenChanges changes;
    const bool layoutAged =
        state.LayoutKnown &&
        std::chrono::steady_clock::now() - state.LayoutRead >= state.LayoutCheckInterval;
    const bool drawn = state.Watch->Drawn();
    changes.Picture =
        state.Watch->LayoutChanged() || state.WindowsChanged || (layoutAged && ReadLayout());
    changes.Cursor = state.Watch->CursorLookChanged() || !pointer || !state.PointerKnown ||
                     x != state.PointerX || y != state.PointerY;
    const int oldX = state.PointerX;
    const int oldY = state.PointerY;
    state.PointerKnown = pointer;
    state.PointerFresh = pointer;
    state.PointerX = x;
    state.PointerY = y;
    state.WindowsChanged = false;
    // What is drawn from now on is the next frame's.
    state.Watch->Clear();
    state.ChangesTaken = true;
    changes.Picture = changes.Picture || (drawn && DrawnInside());
    if (!changes.Picture && changes.Cursor && !PointerMatters(oldX, oldY))
        changes.Cursor = false;
    return changes;
}

// Only what happens inside the area makes a frame: drawing elsewhere, and the
// pointer moving where it is not drawn, cost a still area nothing.
bool TX11Screen::DrawnInside() const {
    const TState& state = *FState;
    if (!state.AreaKnown || !state.Watch->PartsKnown())
        return true;
    for (const TScreenRect& part : state.Watch->Parts())
        if (!part.Intersect(state.Visible).Empty())
            return true;
    return false;
}

bool TX11Screen::PointerMatters(int oldX, int oldY) const {
    const TState& state = *FState;
    return !state.AreaKnown || !state.PointerKnown || state.Area.Contains({oldX, oldY, 1, 1}) ||
           state.Area.Contains({state.PointerX, state.PointerY, 1, 1});
}

void TX11Screen::SetLayoutCheckInterval(std::chrono::milliseconds interval) {
    FState->LayoutCheckInterval = interval;
}

bool TX11Screen::ReadLayout() {
    TState& state = *FState;
    const int oldWidth = state.RootWidth;
    const int oldHeight = state.RootHeight;
    const std::vector<TNamedMonitor> oldMonitors = state.Monitors;
    const Screen* screen = DefaultScreenOfDisplay(state.Connection);
    XWindowAttributes root;
    XGetWindowAttributes(state.Connection, state.Root, &root);
    state.RootWidth = root.width > 0 ? root.width : WidthOfScreen(screen);
    state.RootHeight = root.height > 0 ? root.height : HeightOfScreen(screen);
    state.Monitors.clear();
    state.OutputNames.clear();
    if (state.HaveMonitors) {
        int count = 0;
        XRRMonitorInfo* info = XRRGetMonitors(state.Connection, state.Root, True, &count);
        // Output names only matter for a chosen monitor: the screen
        // resources cost a round trip and are asked for only then.
        XRRScreenResources* resources =
            info && state.Wanted.Kind == TAreaKind::Monitor
                ? XRRGetScreenResourcesCurrent(state.Connection, state.Root)
                : nullptr;
        for (int i = 0; info && i < count; ++i) {
            const TScreenRect rect{info[i].x, info[i].y, info[i].width, info[i].height};
            char* name = info[i].name ? XGetAtomName(state.Connection, info[i].name) : nullptr;
            state.Monitors.push_back({name ? name : "", rect, info[i].primary != 0});
            if (name)
                XFree(name);
            for (int j = 0; resources && j < info[i].noutput; ++j)
                if (XRROutputInfo* output =
                        XRRGetOutputInfo(state.Connection, resources, info[i].outputs[j])) {
                    state.OutputNames.push_back({output->name, rect, info[i].primary != 0});
                    XRRFreeOutputInfo(output);
                }
        }
        if (resources)
            XRRFreeScreenResources(resources);
        if (info)
            XRRFreeMonitors(info);
    }
    // Without notifications the layout is read for every frame.
    state.LayoutKnown = state.Watch->Available();
    state.LayoutRead = std::chrono::steady_clock::now();
    auto same = [](const TNamedMonitor& a, const TNamedMonitor& b) {
        return a.Area == b.Area && a.Primary == b.Primary && a.Name == b.Name;
    };
    return oldWidth != state.RootWidth || oldHeight != state.RootHeight ||
           !std::equal(oldMonitors.begin(), oldMonitors.end(), state.Monitors.begin(),
                       state.Monitors.end(), same);
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

void TX11Screen::GrabWholeNext() {
    FState->WholeNext = true;
}

void TX11Screen::DrawnOver(const TScreenRect& part) {
    TState& state = *FState;
    if (!state.AreaKnown || state.Visible == state.Area) {
        state.DrawnOver.push_back(part);
        return;
    }
    // The picture is the visible part placed in black: the cursor may have
    // been drawn on the black too, which the next picture clears.
    state.Padded.Forget();
    state.DrawnOver.push_back({part.X - (state.Visible.X - state.Area.X),
                               part.Y - (state.Visible.Y - state.Area.Y), part.Width, part.Height});
}

// The picture before is the last one with the cursor drawn on it, so it is
// compared once the cursor is drawn on this one too: a still cursor over a
// still picture is no change. Where the cursor now lies outside the parts
// read again it changed the picture.
void TX11Screen::LeaveOnlyDiffering(TScreenGrab& grab) {
    TState& state = *FState;
    if (grab.Pixels != state.Last.Pixels || grab.Changed.All())
        return;
    TChangedRows differing = state.Before.Differing(grab);
    if (differing.All())
        return;
    for (const TScreenRect& drawn : state.DrawnOver)
        if (!state.Before.Covers(drawn))
            differing.AddArea(drawn.X, drawn.Y, drawn.Width, drawn.Height);
    grab.Changed = differing;
}

static std::int64_t Pixels(const std::vector<TScreenRect>& parts) {
    std::int64_t pixels = 0;
    for (const TScreenRect& part : parts)
        pixels += static_cast<std::int64_t>(part.Width) * part.Height;
    return pixels;
}

// The parts of `area` to read again, in the picture's own coordinates: what
// was drawn on the root since the last frame and what the caller drew over.
// None when the whole picture must be read.
std::optional<std::vector<TScreenRect>> TX11Screen::ChangedParts(const TScreenRect& area,
                                                                 bool changesTaken) {
    TState& state = *FState;
    std::vector<TScreenRect> drawnOver;
    drawnOver.swap(state.DrawnOver);
    const bool whole = state.WholeNext;
    state.WholeNext = false;
    if (whole || !changesTaken || state.Kept == TState::TKept::Nothing ||
        !(state.KeptArea == area) || !state.Watch->PartsKnown())
        return std::nullopt;
    const TScreenRect picture{0, 0, area.Width, area.Height};
    std::vector<TScreenRect> parts;
    auto add = [&](const TScreenRect& part) {
        const TScreenRect inside = part.Intersect(picture);
        if (!inside.Empty())
            parts.push_back(inside);
    };
    for (const TScreenRect& part : state.Watch->Parts())
        add({part.X - area.X, part.Y - area.Y, part.Width, part.Height});
    for (const TScreenRect& part : drawnOver)
        add(part);
    return parts;
}

bool TX11Screen::ReadParts(const TScreenRect& area, const std::vector<TScreenRect>& parts) {
    TState& state = *FState;
    XImage& picture = *state.Plain;
    for (const TScreenRect& part : parts) {
        const XImage* image = state.PartReader->Read(state.Root, area.X + part.X, area.Y + part.Y,
                                                     part.Width, part.Height);
        if (!image || image->bits_per_pixel != 32 || image->width != part.Width ||
            image->height != part.Height)
            return false;
        for (int y = 0; y < part.Height; ++y)
            std::memcpy(picture.data +
                            static_cast<std::ptrdiff_t>(part.Y + y) * picture.bytes_per_line +
                            static_cast<std::ptrdiff_t>(part.X) * 4,
                        image->data + static_cast<std::ptrdiff_t>(y) * image->bytes_per_line,
                        static_cast<std::size_t>(part.Width) * 4);
    }
    return true;
}

TScreenGrab TX11Screen::Grab() {
    TState& state = *FState;
    // No picture: the slots go on as repeats until the recording is ended.
    if (state.Lost)
        return {};
    const bool changesTaken = state.ChangesTaken;
    if (state.Watch->Available()) {
        // Changes made since the last question must have arrived before the
        // layout and the window stack are trusted.
        if (!state.ChangesTaken)
            XSync(state.Connection, False);
        TakeEvents();
        state.ChangesTaken = false;
        if (!state.LayoutKnown)
            ReadLayout();
    } else {
        // Reading the layout is a round trip: the window changes made until
        // then have arrived after it.
        ReadLayout();
        TakeEvents();
    }
    TPlacedArea placed = PlaceNow();
    // A monitor that went away leaves its place black at the size it had.
    if (placed.Area.Empty() && state.AreaKnown)
        placed.Area = state.Area;
    state.Area = placed.Area;
    state.Visible = placed.Visible;
    state.AreaKnown = true;
    const bool wholeRoot = placed.Visible == TScreenRect{0, 0, state.RootWidth, state.RootHeight};
    state.Watch->KeepOnly(wholeRoot ? TScreenRect{} : placed.Visible);
    if (placed.Placement != TAreaPlacement::Whole && !state.MissingTold) {
        state.MissingTold = true;
        if (state.OnNotice)
            state.OnNotice(AreaGoneNotice().Chinese, AreaGoneNotice().English);
    }
    if (placed.Visible.Empty()) {
        state.Kept = TState::TKept::Nothing;
        return state.Padded.Black(placed.Area.Width, placed.Area.Height);
    }
    TScreenGrab grab = GrabRect(placed.Visible, changesTaken);
    if (placed.Visible == placed.Area)
        return grab;
    return state.Padded.Place(grab, placed.Area.Width, placed.Area.Height,
                              placed.Visible.X - placed.Area.X, placed.Visible.Y - placed.Area.Y);
}

TPlacedArea TX11Screen::PlaceNow() const {
    const TState& state = *FState;
    if (state.Wanted.Kind != TAreaKind::Monitor)
        return PlaceArea(state.Wanted, state.Monitors, state.RootWidth, state.RootHeight);
    return PlaceArea(state.Wanted, ByName(), state.RootWidth, state.RootHeight);
}

// A monitor's own name wins over an output of the same name.
std::vector<TNamedMonitor> TX11Screen::ByName() const {
    std::vector<TNamedMonitor> named = FState->Monitors;
    for (const TNamedMonitor& output : FState->OutputNames)
        if (std::none_of(named.begin(), named.end(),
                         [&](const TNamedMonitor& m) { return m.Name == output.Name; }))
            named.push_back(output);
    return named;
}

TPlacedArea TX11Screen::Placement() {
    ReadLayout();
    return PlaceNow();
}

std::optional<TScreenRect> TX11Screen::AreaNow() {
    if (FState->Lost)
        return std::nullopt;
    return Placement().Area;
}

void TX11Screen::SetNoticeHandler(TScreenNoticeHandler handler) {
    FState->OnNotice = std::move(handler);
}

TScreenNotice AreaGoneNotice() {
    return {"录制范围有一部分已不在屏幕上（屏幕变小或显示器已拔下），那里录下的是黑色，录制继续",
            "part of the recorded area is no longer on the screen (a smaller screen or a monitor "
            "unplugged): it is recorded black and the recording goes on"};
}

// The rectangle `area` of the root, which lies wholly on it.
TScreenGrab TX11Screen::GrabRect(const TScreenRect& area, bool changesTaken) {
    TState& state = *FState;
    const std::optional<std::vector<TScreenRect>> parts = ChangedParts(area, changesTaken);
    // Nothing but the parts was drawn on, so comparing them with what they
    // were tells whether the picture changed at all. Only for parts whose
    // copy costs little next to compressing them.
    constexpr std::int64_t kComparedPixelsAtMost = std::int64_t{640} * 480;
    if (parts && state.Kept != TState::TKept::Nothing && Pixels(*parts) <= kComparedPixelsAtMost)
        state.Before.Take(state.Last, *parts);
    else
        state.Before.Forget();
    state.Last = ReadRect(area, parts);
    return state.Last;
}

// What changed is the parts when they are given and the last picture is
// kept; everything otherwise.
TScreenGrab TX11Screen::ReadRect(const TScreenRect& area,
                                 const std::optional<std::vector<TScreenRect>>& parts) {
    TState& state = *FState;
    const TState::TKept kept = state.Kept;
    // Until this grab succeeds, nothing is kept that a later one could trust.
    state.Kept = TState::TKept::Nothing;
    state.KeptArea = area;
    if (!FCaptureTransparent) {
        const bool reuse = parts && kept == TState::TKept::Composed;
        TScreenGrab composed = state.SeeThrough->Grab(area, reuse ? &*parts : nullptr);
        if (composed.Pixels) {
            state.Kept = TState::TKept::Composed;
            return composed;
        }
    }
    const bool keepsPlain = parts && kept == TState::TKept::Plain && state.Plain;
    // Past a third of the area, one whole read is cheaper than the parts.
    const bool readParts =
        keepsPlain && Pixels(*parts) * 3 <= static_cast<std::int64_t>(area.Width) * area.Height;
    if (!readParts || !ReadParts(area, *parts)) {
        state.Plain = state.Reader->Read(state.Root, area.X, area.Y, area.Width, area.Height);
        if (!state.Plain)
            throw Exception("The screen cannot be read");
        if (state.Plain->bits_per_pixel != 32 || state.Plain->byte_order != LSBFirst)
            throw Exception(
                "Unsupported screen format: only 24- and 32-bit screens can be recorded");
    }
    state.Kept = TState::TKept::Plain;
    TScreenGrab grab{reinterpret_cast<std::uint8_t*>(state.Plain->data), state.Plain->width,
                     state.Plain->height, state.Plain->bytes_per_line};
    if (keepsPlain) {
        grab.Changed = TChangedRows::Nothing();
        for (const TScreenRect& part : *parts)
            grab.Changed.AddArea(part.X, part.Y, part.Width, part.Height);
    }
    return grab;
}

// A pointer outside the area is not drawn, not even the part of its picture
// that would reach into it.
static TCursorImage OnlyInside(TCursorImage cursor, const TScreenRect& area,
                               const TScreenRect& visible) {
    cursor.Visible =
        cursor.Visible && visible.Contains({cursor.X + area.X, cursor.Y + area.Y, 1, 1});
    return cursor;
}

TCursorImage TX11Screen::Cursor() {
    TState& state = *FState;
    if (state.Lost || !state.HaveFixes)
        return {};
    // Between pictures only the pointer's place changes, which this frame's
    // question already told.
    if (state.CursorKnown && state.PointerFresh && state.Watch->Available()) {
        state.PointerFresh = false;
        TCursorImage cursor = state.CursorPicture;
        cursor.X = state.PointerX - state.Area.X;
        cursor.Y = state.PointerY - state.Area.Y;
        return OnlyInside(cursor, state.Area, state.Visible);
    }
    TCursorImage cursor = ReadX11Cursor(state.Connection);
    if (cursor.Width == 0) // no cursor image to be had
        return {};
    // The pointer's place in the grabbed picture, which starts at the area's corner.
    cursor.X -= state.Area.X;
    cursor.Y -= state.Area.Y;
    state.CursorPicture = cursor;
    state.CursorKnown = true;
    state.PointerFresh = false;
    return OnlyInside(cursor, state.Area, state.Visible);
}

} // namespace vardocle
