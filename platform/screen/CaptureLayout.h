#pragma once
// Display-free decisions of the screen grab: which monitor is "the primary
// screen", which top-level windows are see-through, and which windows have to
// be painted to show the desktop as it looks without the see-through ones.
#include <cstdint>
#include <optional>
#include <vector>

namespace vardocle {

struct TScreenRect {
    int X = 0;
    int Y = 0;
    int Width = 0;
    int Height = 0;

    bool Empty() const { return Width <= 0 || Height <= 0; }
    bool Contains(const TScreenRect& other) const;
    TScreenRect Intersect(const TScreenRect& other) const;
    bool operator==(const TScreenRect&) const = default;
};

struct TMonitor {
    TScreenRect Area;
    bool Primary = false;
};

// The monitor marked primary; without one, the monitor at the screen's origin
// (where the primary display sits on the systems this design comes from), then
// the first. It is cut to the root window; no usable monitor gives the whole root.
TScreenRect ChoosePrimaryMonitor(const std::vector<TMonitor>& monitors, int rootWidth,
                                 int rootHeight);

// What is known of a top-level window that decides whether it is see-through.
struct TWindowLook {
    bool ShapedBounding = false;          // a bounding shape other than its rectangle
    bool AlphaVisual = false;             // its pixels carry alpha (an ARGB visual)
    std::optional<std::uint32_t> Opacity; // the window manager's opacity hint, if set
    bool OwnProcess = false;              // one of the recorder's own windows
};

bool IsSeeThrough(const TWindowLook& look);

// A top-level window, in stacking order from the bottom.
struct TTopLevel {
    TScreenRect Area; // the inside of the window, in root coordinates
    bool Viewable = false;
    bool InputOnlyWindow = false;
    TWindowLook Look;
};

// One window to paint: the part of its inside that lies on the captured area,
// in window coordinates, and where it goes in the picture.
struct TPaintStep {
    std::size_t Window = 0; // index into the list passed in
    int SourceX = 0;
    int SourceY = 0;
    int TargetX = 0;
    int TargetY = 0;
    int Width = 0;
    int Height = 0;
};

struct TPaintPlan {
    bool Background = true; // the desktop background is visible somewhere
    std::vector<TPaintStep> Steps;
};

// The windows to paint, bottom first, to show `area` without the see-through
// windows. Windows beneath an opaque one that covers the whole area are not
// painted at all, nor is the background then.
TPaintPlan PlanPaint(const std::vector<TTopLevel>& windows, const TScreenRect& area);

} // namespace vardocle
