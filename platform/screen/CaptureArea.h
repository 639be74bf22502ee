#pragma once
// What a recording shows: the primary monitor (the default), one monitor, a
// rectangle of the screen, or one window. The value travels from the settings
// and the command line to the screen; its text form is what Setting.ini and
// `--area` hold. Where the area lies on today's screen is decided here,
// without a display, so the screens only grab the rectangle they are given.
#include "platform/screen/CaptureLayout.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vardocle {

enum class TAreaKind { Screen, Monitor, Region, Window };

struct TCaptureArea {
    TAreaKind Kind = TAreaKind::Screen;
    // Monitor: its name (RandR output or monitor name, e.g. "DP-1").
    std::string Monitor;
    // Region: in root (desktop) coordinates.
    TScreenRect Region;
    // Window: the X window id (the client window, not the frame).
    std::uint32_t Window = 0;
    // region:pick / window:pick: to be chosen on the screen before recording.
    bool Pick = false;

    bool operator==(const TCaptureArea&) const = default;
};

// Parses "screen", "monitor:NAME", "region:X,Y,W,H", "region:pick",
// "window:ID" (decimal or 0x hex) and "window:pick". On a bad value returns
// none and, when `error` is given, a Chinese message saying what is allowed.
std::optional<TCaptureArea> ParseCaptureArea(std::string_view text, std::string* error = nullptr);
// The text form ParseCaptureArea reads back (window ids in 0x hex).
std::string CaptureAreaText(const TCaptureArea& area);

// A monitor as the layout code sees it, with the name the user chooses by.
struct TNamedMonitor {
    std::string Name;
    TScreenRect Area;
    bool Primary = false;
};

enum class TAreaPlacement {
    Whole,   // all of it is on the screen
    Partial, // some of it is off the screen: that part shows black
    Gone,    // none of it is (or no such monitor)
};

struct TPlacedArea {
    TAreaPlacement Placement = TAreaPlacement::Whole;
    // Where the area is, in root coordinates (not cut to the screen: the
    // recording keeps its size, and what lies off the screen is black).
    TScreenRect Area;
    // The part of Area that is on the screen.
    TScreenRect Visible;
};

// Where a screen, monitor or region area lies on a root window of the given
// size with these monitors. A window area is placed by the screen that
// follows the window; here it is Gone.
TPlacedArea PlaceArea(const TCaptureArea& area, const std::vector<TNamedMonitor>& monitors,
                      int rootWidth, int rootHeight);

// The Chinese message for an area that is not (wholly) there when a recording
// is to start, saying what the user can do; empty when it is whole.
std::string AreaMissingMessage(const TCaptureArea& area, TAreaPlacement placement);

} // namespace vardocle
