#pragma once
// Leaves the see-through top-level windows (shaped, ARGB, translucent by hint,
// and the recorder's own) out of a grab: where they stand, the picture shows
// what lies beneath them, composed from the windows' off-screen pictures
// (Composite) with Render. Areas without a see-through window keep the plain
// grab, so the cost grows with the size of those windows, not the screen's.
#include "platform/screen/CaptureLayout.h"

#include <X11/Xlib.h>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace vardocle {

class TX11SeeThrough {
public:
    TX11SeeThrough(Display* connection, Window root);
    ~TX11SeeThrough();
    TX11SeeThrough(const TX11SeeThrough&) = delete;
    TX11SeeThrough& operator=(const TX11SeeThrough&) = delete;

    // False when the server lacks Composite, Render or XFixes regions.
    bool Available() const;

    // Repaints, in a grab of `area` (32-bit pixels, `stride` bytes a row), the
    // pixels of see-through windows with what lies beneath them.
    void Remove(std::uint8_t* pixels, std::ptrdiff_t stride, const TScreenRect& area);

private:
    struct TState;
    std::unique_ptr<TState> FState;
};

} // namespace vardocle
