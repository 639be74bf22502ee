#pragma once
// The desktop's windows as the area choice needs them: the list by title,
// the window under a point, and where a window is now. The choice takes
// them as functions, so that its windows are tested with lists of their own.
#include "platform/screen/CaptureLayout.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace vardocle {

struct TListedWindow {
    std::uint32_t Id = 0; // the client window, not the window manager's frame
    QString Title;
    TScreenRect Area;     // its inside, in root coordinates
    bool Viewable = true; // false while minimised or on another workspace
    bool operator==(const TListedWindow&) const = default;
};

struct TAreaWindows {
    // The open windows that can be recorded, the topmost first.
    std::function<std::vector<TListedWindow>()> List;
    // The topmost of them at a point in root coordinates.
    std::function<std::optional<TListedWindow>(int x, int y)> At;
    // That window now, shown or not; none when it is gone.
    std::function<std::optional<TListedWindow>(std::uint32_t id)> Find;

    // The windows of the X display the program runs on; empty answers where
    // there is none (Wayland, offscreen).
    static TAreaWindows System();
};

} // namespace vardocle
