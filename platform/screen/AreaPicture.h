#pragma once
// The picture of an area that lies partly or wholly off the screen: what is
// on the screen in its place, black around it. The recording keeps the
// area's size whatever happens to the screen.
#include "platform/screen/Screen.h"

#include <cstdint>
#include <vector>

namespace vardocle {

class TAreaPicture {
public:
    // A black picture of that size.
    TScreenGrab Black(int width, int height);
    // `part` (a grab of the visible part) placed at (left, top) of a
    // width x height picture, black elsewhere; the rows it tells changed are
    // moved with it. Valid until the next call.
    TScreenGrab Place(const TScreenGrab& part, int width, int height, int left, int top);

    // The next Place copies the whole part and blackens the rest again.
    void Forget() { FLeft = FTop = -1; }

private:
    bool Ensure(int width, int height);
    std::vector<std::uint8_t> FPixels;
    int FWidth = 0;
    int FHeight = 0;
    // Where the part was placed last; elsewhere the picture is black.
    int FLeft = -1;
    int FTop = -1;
    int FPartWidth = 0;
    int FPartHeight = 0;
};

} // namespace vardocle
