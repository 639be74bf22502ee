#include "platform/screen/X11WindowScreen.h"

#include "platform/base/Errors.h"
#include "platform/screen/CaptureArea.h"
#include "platform/screen/X11ChangeWatch.h"
#include "platform/screen/X11CursorImage.h"
#include "platform/screen/X11ImageReader.h"
#include "platform/screen/X11WindowList.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xcomposite.h>
#include <X11/extensions/Xfixes.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace vardocle {

struct TX11WindowScreen::TState {
    Display* Connection = nullptr;
    Window Root = 0;
    Window Client = 0;
    bool HaveShm = false;
    bool HaveFixes = false;
    bool Composite = false;
    std::unique_ptr<TX11ChangeWatch> Watch;
    // Set once the connection broke: nothing more is asked of it.
    std::atomic<bool> Lost{false};
    bool Gone = false;
    bool Viewable = false;
    // The size, the place or the map state changed since the last question.
    bool Reshaped = true;
    // The window's own picture, named again after every new size or mapping;
    // the last one named stays readable while the window is unmapped.
    bool Stale = true;
    Pixmap Named = 0;
    int Border = 0;
    int Width = 0;
    int Height = 0;
    int ReaderDepth = 0;
    std::unique_ptr<TX11ImageReader> Reader;
    // Without Composite: the last picture of the window's place on the
    // screen, and the copy handed out, which the cursor is drawn on.
    std::vector<std::uint32_t> Last;
    int LastWidth = 0;
    int LastHeight = 0;
    std::vector<std::uint32_t> Out;
    // The pointer relative to the window, as the last question learnt it.
    bool ChangesTaken = false;
    bool PointerFresh = false;
    bool PointerKnown = false;
    int PointerX = 0;
    int PointerY = 0;
    bool CursorKnown = false;
    TCursorImage CursorPicture;
    int GrabWidth = 0;
    int GrabHeight = 0;
    TScreenRect Placed;

    bool QueryPointer() {
        Window root = 0;
        Window child = 0;
        int rootX = 0;
        int rootY = 0;
        unsigned mask = 0;
        ClearX11Error();
        PointerKnown = XQueryPointer(Connection, Client, &root, &child, &rootX, &rootY, &PointerX,
                                     &PointerY, &mask) != 0;
        Gone = Gone || LastX11Error() == BadWindow;
        return PointerKnown;
    }
};

TX11WindowScreen::TX11WindowScreen(std::uint32_t window, const std::string& displayName)
    : FState(std::make_unique<TState>()) {
    TState& state = *FState;
    NoteX11Errors();
    state.Connection = XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str());
    if (!state.Connection) {
        const char* name = displayName.empty() ? std::getenv("DISPLAY") : displayName.c_str();
        throw Exception(std::string("Cannot open the X display \"") + (name ? name : "") + "\"");
    }
    // A broken connection ends the grabs, not the process (see TX11Screen).
    XSetIOErrorExitHandler(
        state.Connection,
        [](Display*, void* lost) { static_cast<std::atomic<bool>*>(lost)->store(true); },
        &state.Lost);
    state.Root = DefaultRootWindow(state.Connection);
    XWindowAttributes attributes;
    ClearX11Error();
    const bool exists = window != 0 && window != state.Root &&
                        XGetWindowAttributes(state.Connection, window, &attributes) &&
                        !LastX11Error() && attributes.c_class == InputOutput;
    if (exists)
        state.Client = ClientWindowOf(state.Connection, window);
    if (!exists || (state.Client != window &&
                    !XGetWindowAttributes(state.Connection, state.Client, &attributes))) {
        XCloseDisplay(state.Connection);
        TCaptureArea area;
        area.Kind = TAreaKind::Window;
        area.Window = window;
        throw Exception(AreaMissingMessage(area, TAreaPlacement::Gone));
    }
    state.Viewable = attributes.map_state == IsViewable;
    int x = 0;
    int y = 0;
    Window child = 0;
    XTranslateCoordinates(state.Connection, state.Client, state.Root, 0, 0, &x, &y, &child);
    state.Placed = {x, y, attributes.width, attributes.height};
    XSelectInput(state.Connection, state.Client, StructureNotifyMask);
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    state.Composite = XCompositeQueryExtension(state.Connection, &eventBase, &errorBase) &&
                      XCompositeQueryVersion(state.Connection, &major, &minor) &&
                      (major > 0 || minor >= 2);
    // Its own picture, kept off the screen by the server and drawn there as
    // before; the redirection ends with this connection.
    if (state.Composite)
        XCompositeRedirectWindow(state.Connection, state.Client, CompositeRedirectAutomatic);
    Bool pixmaps = False;
    state.HaveShm = XShmQueryVersion(state.Connection, &major, &minor, &pixmaps);
    state.HaveFixes = XFixesQueryExtension(state.Connection, &eventBase, &errorBase);
    // Without its own picture, anything drawn on the screen may be in the window's place.
    state.Watch = std::make_unique<TX11ChangeWatch>(state.Connection, state.Root,
                                                    state.Composite ? state.Client : 0);
}

TX11WindowScreen::~TX11WindowScreen() {
    TState& state = *FState;
    if (state.Lost) {
        // Xlib keeps a broken connection locked (see TX11Screen): nothing is
        // released through it.
        [[maybe_unused]] auto* watch = state.Watch.release();
        [[maybe_unused]] auto* reader = state.Reader.release();
        return;
    }
    state.Watch.reset();
    state.Reader.reset();
    if (state.Named)
        XFreePixmap(state.Connection, state.Named);
    XCloseDisplay(state.Connection);
}

std::uint32_t TX11WindowScreen::FollowedWindow() const {
    return static_cast<std::uint32_t>(FState->Client);
}

const TScreenRect& TX11WindowScreen::Placed() const {
    return FState->Placed;
}

bool TX11WindowScreen::ReadsOwnPicture() const {
    return FState->Composite;
}

void TX11WindowScreen::TakeEvents() {
    TState& state = *FState;
    while (XPending(state.Connection)) {
        XEvent event;
        XNextEvent(state.Connection, &event);
        if (state.Watch->Take(event))
            continue;
        switch (event.type) {
        case DestroyNotify:
            state.Gone = state.Gone || event.xdestroywindow.window == state.Client;
            break;
        case UnmapNotify:
            state.Viewable = false;
            state.Reshaped = true;
            break;
        case MapNotify:
        case ReparentNotify:
            state.Viewable = state.Viewable || event.type == MapNotify;
            state.Reshaped = state.Stale = true;
            break;
        case ConfigureNotify:
            state.Reshaped = true;
            state.Stale = state.Stale || event.xconfigure.width != state.Width ||
                          event.xconfigure.height != state.Height ||
                          event.xconfigure.border_width != state.Border;
            break;
        default:
            break;
        }
    }
    if (state.Watch->CursorLookChanged())
        state.CursorKnown = false;
}

void TX11WindowScreen::ThrowIfGone() {
    if (FState->Gone)
        throw EScreenGone(kRecordedWindowClosed);
}

TScreenChanges TX11WindowScreen::TakeChanges() {
    TState& state = *FState;
    if (state.Lost)
        return {};
    ThrowIfGone();
    // One round trip: the pointer's place in the window, and every
    // notification sent before it.
    const int oldX = state.PointerX;
    const int oldY = state.PointerY;
    const bool known = state.PointerKnown;
    const bool pointer = state.QueryPointer();
    TakeEvents();
    ThrowIfGone();
    state.PointerFresh = pointer;
    state.ChangesTaken = true;
    if (!state.Watch->Available())
        return {};
    TScreenChanges changes;
    changes.Picture = state.Watch->Drawn() || state.Reshaped;
    changes.Cursor = state.Watch->CursorLookChanged() || !pointer || !known ||
                     state.PointerX != oldX || state.PointerY != oldY;
    state.Reshaped = false;
    state.Watch->Clear();
    return changes;
}

TScreenGrab TX11WindowScreen::Grab() {
    TState& state = *FState;
    if (state.Lost)
        return {};
    // A window closed since the last question has said so once this returns.
    if (!state.ChangesTaken)
        XSync(state.Connection, False);
    state.ChangesTaken = false;
    TakeEvents();
    ThrowIfGone();
    TScreenGrab grab = state.Composite ? GrabOwnPicture() : GrabScreenPart();
    ThrowIfGone();
    if (grab.Pixels) {
        state.GrabWidth = grab.Width;
        state.GrabHeight = grab.Height;
    }
    return grab;
}

bool TX11WindowScreen::NameOwnPicture() {
    TState& state = *FState;
    XWindowAttributes attributes;
    ClearX11Error();
    if (!XGetWindowAttributes(state.Connection, state.Client, &attributes)) {
        state.Gone = state.Gone || LastX11Error() == BadWindow;
        return false;
    }
    // An unmapped window has no picture of its own: the last one named stays.
    state.Viewable = attributes.map_state == IsViewable;
    if (!state.Viewable)
        return false;
    const Pixmap pixmap = XCompositeNameWindowPixmap(state.Connection, state.Client);
    Window root = 0;
    int x = 0;
    int y = 0;
    unsigned width = 0;
    unsigned height = 0;
    unsigned border = 0;
    unsigned depth = 0;
    // Its size is the window's as the server has it now, border included.
    if (!XGetGeometry(state.Connection, pixmap, &root, &x, &y, &width, &height, &border, &depth) ||
        LastX11Error())
        return false;
    if (state.Named)
        XFreePixmap(state.Connection, state.Named);
    state.Named = pixmap;
    state.Border = attributes.border_width;
    state.Width = static_cast<int>(width) - 2 * state.Border;
    state.Height = static_cast<int>(height) - 2 * state.Border;
    if (!state.Reader || state.ReaderDepth != attributes.depth) {
        state.Reader = std::make_unique<TX11ImageReader>(state.Connection, attributes.visual,
                                                         attributes.depth, state.HaveShm);
        state.ReaderDepth = attributes.depth;
    }
    state.Stale = false;
    return true;
}

TScreenGrab TX11WindowScreen::GrabOwnPicture() {
    TState& state = *FState;
    if (state.Stale || !state.Named)
        NameOwnPicture();
    if (!state.Named || state.Width <= 0 || state.Height <= 0)
        return {};
    const XImage* image =
        state.Reader->Read(state.Named, state.Border, state.Border, state.Width, state.Height);
    if (!image)
        return {}; // resized meanwhile: the notification names it again
    if (image->bits_per_pixel != 32 || image->byte_order != LSBFirst)
        throw Exception("Unsupported screen format: only 24- and 32-bit screens can be recorded");
    return {reinterpret_cast<std::uint8_t*>(image->data), image->width, image->height,
            image->bytes_per_line};
}

TScreenGrab TX11WindowScreen::GrabScreenPart() {
    TState& state = *FState;
    XWindowAttributes attributes;
    XWindowAttributes root;
    int x = 0;
    int y = 0;
    Window child = 0;
    ClearX11Error();
    const bool shown =
        XGetWindowAttributes(state.Connection, state.Client, &attributes) &&
        attributes.map_state == IsViewable &&
        XTranslateCoordinates(state.Connection, state.Client, state.Root, 0, 0, &x, &y, &child) &&
        XGetWindowAttributes(state.Connection, state.Root, &root);
    state.Gone = state.Gone || LastX11Error() == BadWindow;
    if (shown) {
        const TScreenRect area{x, y, attributes.width, attributes.height};
        const TScreenRect visible = area.Intersect({0, 0, root.width, root.height});
        // What lies off the screen is black.
        state.Last.assign(static_cast<std::size_t>(area.Width) * area.Height, 0);
        state.LastWidth = area.Width;
        state.LastHeight = area.Height;
        if (!state.Reader)
            state.Reader = std::make_unique<TX11ImageReader>(state.Connection, root.visual,
                                                             root.depth, state.HaveShm);
        const XImage* image = visible.Empty() ? nullptr
                                              : state.Reader->Read(state.Root, visible.X, visible.Y,
                                                                   visible.Width, visible.Height);
        if (image && image->bits_per_pixel == 32 && image->byte_order == LSBFirst)
            for (int row = 0; row < visible.Height; ++row)
                std::memcpy(&state.Last[static_cast<std::size_t>(visible.Y - y + row) * area.Width +
                                        static_cast<std::size_t>(visible.X - x)],
                            image->data + static_cast<std::ptrdiff_t>(row) * image->bytes_per_line,
                            static_cast<std::size_t>(visible.Width) * 4);
    }
    if (state.Last.empty())
        return {};
    state.Out = state.Last;
    return {reinterpret_cast<std::uint8_t*>(state.Out.data()), state.LastWidth, state.LastHeight,
            static_cast<std::ptrdiff_t>(state.LastWidth) * 4};
}

TCursorImage TX11WindowScreen::Cursor() {
    TState& state = *FState;
    if (state.Lost || !state.HaveFixes)
        return {};
    if (!state.CursorKnown || !state.Watch->Available()) {
        state.CursorPicture = ReadX11Cursor(state.Connection);
        state.CursorKnown = true;
    }
    if (!state.PointerFresh)
        state.QueryPointer();
    state.PointerFresh = false;
    TCursorImage cursor = state.CursorPicture;
    cursor.X = state.PointerX;
    cursor.Y = state.PointerY;
    cursor.Visible = cursor.Visible && state.PointerKnown && state.Viewable &&
                     state.PointerX >= 0 && state.PointerY >= 0 &&
                     state.PointerX < state.GrabWidth && state.PointerY < state.GrabHeight;
    return cursor;
}

} // namespace vardocle
