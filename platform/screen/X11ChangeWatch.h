#pragma once
// Tells what changed on an X11 screen between two frames, from the server's
// own notifications: drawing anywhere on the screen (Damage on the root
// window), a new cursor picture (XFixes) and a new screen size or monitor
// layout (RandR). Without Damage it cannot tell and reports every frame as
// changed.
#include "platform/screen/CaptureLayout.h"

#include <X11/Xlib.h>

#include <vector>

namespace vardocle {

class TX11ChangeWatch {
public:
    // Drawing is watched on `damaged` (a window followed on its own, in its
    // own coordinates) when given, on the whole root otherwise.
    TX11ChangeWatch(Display* connection, Window root, Drawable damaged = 0);
    ~TX11ChangeWatch();
    TX11ChangeWatch(const TX11ChangeWatch&) = delete;
    TX11ChangeWatch& operator=(const TX11ChangeWatch&) = delete;

    bool Available() const { return FDamage != 0; }

    // Notes an event that is the watch's own; false for any other.
    bool Take(XEvent& event);

    // Since the last Clear.
    bool Drawn() const { return FDrawn; }
    bool CursorLookChanged() const { return FCursorLook; }
    bool LayoutChanged() const { return FLayout; }
    // Only drawing inside `part` (root coordinates) is wanted in Parts():
    // the server cuts the rest away, so a busy screen around a small area
    // neither turns into one rectangle over everything nor costs its list.
    // An empty part: the whole root.
    void KeepOnly(const TScreenRect& part);
    // Starts a new frame: what was drawn until now is in it.
    void Clear();
    // Where on the root the frame Clear began was drawn on; false when the
    // watch cannot tell the places (then anywhere may have changed).
    bool PartsKnown() const { return FPartsKnown; }
    const std::vector<TScreenRect>& Parts() const { return FParts; }

private:
    Display* FConnection;
    Window FRoot;
    unsigned long FDamage = 0;
    int FDamageEvents = 0;
    int FFixesEvents = 0;
    int FRandrEvents = 0;
    bool FHaveFixes = false;
    bool FHaveRandr = false;
    bool FDrawn = true;
    bool FCursorLook = true;
    bool FLayout = true;
    unsigned long FRegion = 0; // where the damage is taken into
    unsigned long FKept = 0;   // the part wanted, when not the whole root
    TScreenRect FKeptPart;
    bool FPartsKnown = false;
    std::vector<TScreenRect> FParts;
};

} // namespace vardocle
