#pragma once
// The open windows a recording can follow: the list of top-level windows by
// title, and the window under a point of the screen, each named by its
// client window (the program's own, inside the window manager's frame).
// Free of Xlib in this header, so that windows built with Qt can use it.
#include "platform/screen/CaptureLayout.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct _XDisplay;

namespace vardocle {

struct TWindowEntry {
    std::uint32_t Window = 0; // the client window
    std::string Title;        // UTF-8
    TScreenRect Area;         // its inside, in root coordinates
};

class TX11WindowFinder {
public:
    // Connects to DISPLAY (or `displayName`); raises vardocle::Exception
    // when there is no display.
    explicit TX11WindowFinder(const std::string& displayName = {});
    ~TX11WindowFinder();
    TX11WindowFinder(const TX11WindowFinder&) = delete;
    TX11WindowFinder& operator=(const TX11WindowFinder&) = delete;

    // The viewable top-level windows that have a title, the topmost first,
    // without this process's own.
    std::vector<TWindowEntry> List();
    // The client window of the topmost viewable top-level window (not this
    // process's own) that holds the root point; 0 when only the desktop does.
    std::uint32_t ClientAt(int x, int y);
    // The window's title and place now; none when it no longer exists.
    std::optional<TWindowEntry> Describe(std::uint32_t window);

private:
    _XDisplay* FConnection = nullptr;
};

// The same on a connection of their own, for a single question.
std::vector<TWindowEntry> ListTopLevelWindows(const std::string& displayName = {});
std::uint32_t ClientWindowAt(int x, int y, const std::string& displayName = {});

// A window's title in UTF-8 (_NET_WM_NAME, else WM_NAME); empty without one.
std::string WindowTitle(_XDisplay* connection, std::uint32_t window);

// The program's window inside `window` (the one with WM_STATE, looked for
// below it), or `window` itself when it has no such child.
std::uint32_t ClientWindowOf(_XDisplay* connection, std::uint32_t window);

} // namespace vardocle
