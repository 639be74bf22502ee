#pragma once
// A client of an X server that sets up what the capture tests look at: a
// known wallpaper, windows of each kind, monitors, the pointer.
#include <X11/Xlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace vardocle::test {

struct TTestRect {
    int X = 0;
    int Y = 0;
    int Width = 0;
    int Height = 0;
};

enum class TTestWindowKind { Opaque, Argb, OpacityHint, OwnProcess };

class TTestDesktop {
public:
    explicit TTestDesktop(const std::string& displayName);
    ~TTestDesktop();
    TTestDesktop(const TTestDesktop&) = delete;
    TTestDesktop& operator=(const TTestDesktop&) = delete;

    bool Connected() const { return FConnection != nullptr; }
    Display* Connection() const { return FConnection; }

    // The wallpaper's pixel at a root position, 0x00RRGGBB.
    static std::uint32_t WallpaperPixel(int x, int y);
    // Paints the wallpaper as a wallpaper program does: the root's background
    // and the pixmap named on the root.
    void ShowWallpaper();
    // A mapped top-level window filled with `rgb` (0xRRGGBB).
    Window ShowWindow(TTestWindowKind kind, const TTestRect& area, std::uint32_t rgb);
    void MoveWindow(Window window, int x, int y);
    void HideWindow(Window window);
    // Waits until a viewable top-level window of that name exists.
    bool WaitForWindow(const std::string& name, int timeoutMs);
    // Replaces the monitors: `primary` is the index of the primary one.
    void SetMonitors(const std::vector<TTestRect>& monitors, std::size_t primary);
    void MovePointer(int x, int y);

private:
    Display* FConnection = nullptr;
    Pixmap FWallpaper = 0;
    std::vector<Window> FWindows;
    std::vector<Colormap> FColormaps;
};

} // namespace vardocle::test
