#pragma once
// A thin frame just outside the area being recorded, so that the user sees
// what is in the picture: four strips of override-redirect windows around
// it, never over it, that let every click through to what lies beneath. As
// they never cover the area, no grab of it can show them, whatever the
// see-through option says; they are marked as the recorder's own as well.
#include "platform/screen/CaptureLayout.h"

#include <array>
#include <string>

// Xlib's own headers stay out: their macros break Qt's, and the windowed
// program shows this frame too.
struct _XDisplay;

namespace vardocle {

// The strips around `area` (top, bottom, left, right), `thickness` wide,
// touching the area but not overlapping it.
std::array<TScreenRect, 4> OutlineStrips(const TScreenRect& area, int thickness);

class TX11AreaOutline {
public:
    static constexpr int kThickness = 2;

    // Connects to the display named by DISPLAY (or `displayName`); raises
    // vardocle::Exception when there is none. Nothing is shown until Show.
    explicit TX11AreaOutline(const std::string& displayName = {});
    ~TX11AreaOutline();
    TX11AreaOutline(const TX11AreaOutline&) = delete;
    TX11AreaOutline& operator=(const TX11AreaOutline&) = delete;

    // Shows the frame around `area` (root coordinates), or moves it there
    // (a window that moves or changes size).
    void Show(const TScreenRect& area);
    void Hide();
    // Puts the frame back above the windows raised since it was shown.
    void Raise();

private:
    bool OnTop() const;

    _XDisplay* FConnection = nullptr;
    std::array<unsigned long, 4> FStrips{}; // X window ids
    bool FShown = false;
};

} // namespace vardocle
