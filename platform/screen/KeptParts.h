#pragma once
// The pixels of some parts of a kept picture, copied before those parts are
// read again. The server tells where something was drawn, not whether a
// pixel changed: an animation drawing beside the area through clip
// rectangles is reported as their whole bounding box. Comparing the parts
// read again with their copy keeps such a slot from counting as a change.
#include "platform/screen/Screen.h"

#include <cstdint>
#include <vector>

namespace vardocle {

class TKeptParts {
public:
    // Copies `parts` (in the picture's coordinates) of `picture`.
    void Take(const TScreenGrab& picture, const std::vector<TScreenRect>& parts);
    void Forget();
    // The rows of `now`, the same picture read again (in parts or whole) with
    // nothing drawn outside the parts, that differ from the copy, each with
    // its part's columns; everything when the copy cannot tell (none taken,
    // or another size).
    TChangedRows Differing(const TScreenGrab& now) const;
    // Whether `rect` lies wholly inside one of the parts copied.
    bool Covers(const TScreenRect& rect) const;

private:
    std::vector<TScreenRect> FParts;
    std::vector<std::uint8_t> FPixels;
    int FWidth = 0;
    int FHeight = 0;
    bool FTaken = false;
};

} // namespace vardocle
