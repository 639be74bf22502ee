#pragma once
// Leaves the see-through top-level windows (shaped, ARGB, translucent by hint,
// and the recorder's own) out of a grab: where they stand, the picture shows
// what lies beneath them, composed from the windows' off-screen pictures
// (Composite) with Render. The server composes the whole frame, the screen as
// it is where no see-through window stands, into memory shared with us, so the
// frame costs one pass over the screen plus one over the covered pixels.
#include "platform/screen/CaptureLayout.h"
#include "platform/screen/Screen.h"

#include <X11/Xlib.h>

#include <memory>
#include <vector>

namespace vardocle {

class TX11SeeThrough {
public:
    TX11SeeThrough(Display* connection, Window root);
    ~TX11SeeThrough();
    TX11SeeThrough(const TX11SeeThrough&) = delete;
    TX11SeeThrough& operator=(const TX11SeeThrough&) = delete;

    // False when the server lacks Composite, Render or XFixes regions.
    bool Available() const;
    // The owner of the connection hands over every event that is not its
    // own: changes of the window stack, shapes and window properties.
    void NoteEvent(const XEvent& event);

    // `area` of the screen without the see-through windows, valid until the
    // next call; an empty picture when no see-through window stands in it
    // (the plain grab is then the same picture, and cheaper) or when the
    // composed frame cannot be made. With `parts` (in the frame's own
    // coordinates), the last frame of the same area is kept and only they are
    // composed again where nothing else changed; the grab tells the rows.
    TScreenGrab Grab(const TScreenRect& area, const std::vector<TScreenRect>* parts = nullptr);

private:
    struct TState;
    std::unique_ptr<TState> FState;
};

} // namespace vardocle
