#pragma once
// The overlay on which the user chooses what to record: a still picture of
// the screen, dimmed, over every monitor. For a region the rectangle is drawn
// by dragging, its edges and corners dragged, the arrow keys move it (Shift:
// ten pixels), Return or a double click takes it and Esc leaves everything
// as it was. For a window the window under the pointer is outlined and a
// click takes it; Tab asks for the list of windows instead. The overlay is
// closed before a recording starts, so it is never in the picture.
#include "app/area/AreaDrag.h"
#include "app/area/AreaWindows.h"

#include <QImage>
#include <QWidget>

#include <optional>

class QScreen;

namespace vardocle {

enum class TAreaPickMode { Region, Window };

class TFrmAreaPick : public QWidget {
public:
    // Covers `place` (the desktop's coordinates, logical pixels) with
    // `still` stretched to it. The rectangle is in the still's pixels;
    // `windows.At` is asked in them too.
    TFrmAreaPick(QImage still, const QRect& place, TAreaPickMode mode,
                 std::optional<TScreenRect> start = std::nullopt, TAreaWindows windows = {});

    // Shows the overlay and returns once the user took or left it.
    // True when something was taken.
    bool Run();
    const std::optional<TScreenRect>& Region() const { return FDrag.Rect(); }
    const std::optional<TListedWindow>& Window() const { return FWindow; }
    // The user pressed Tab to choose the window from a list.
    bool ListAsked() const { return FListAsked; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    TAreaPoint ToStill(const QPointF& point) const;
    QRect ToWidget(const TScreenRect& rect) const;
    void Finish(bool taken);
    void FollowPointer(const QPointF& point);

    QImage FStill;
    QImage FDimmed;
    TAreaPickMode FMode;
    TAreaDrag FDrag;
    TAreaWindows FWindows;
    std::optional<TListedWindow> FWindow;
    bool FListAsked = false;
    bool FTaken = false;
    bool FRunning = false;
};

// A region on `still` (a picture of one monitor, say), with the overlay full
// screen on `screen` (the primary one when null); in the still's pixels.
std::optional<TScreenRect> PickRegion(const QImage& still, QScreen* screen = nullptr,
                                      std::optional<TScreenRect> start = std::nullopt);
// A picture of the whole desktop now, every monitor in its place.
QImage DesktopStill();
// A region of the desktop, in root coordinates.
std::optional<TScreenRect> PickRegionOnDesktop(std::optional<TScreenRect> start = std::nullopt);
// A region of the monitor a Wayland desktop shares, drawn on a still picture
// of it (the program cannot read such a screen itself); in its pixels.
std::optional<TScreenRect>
PickRegionOnSharedMonitor(std::optional<TScreenRect> start = std::nullopt);
// A window clicked on the desktop, or chosen from the list (Tab).
std::optional<TListedWindow> PickWindowOnDesktop(const TAreaWindows& windows,
                                                 QWidget* listParent = nullptr);

} // namespace vardocle
