#pragma once
// Where the settings window stands relative to the main window, which it
// docks beneath.
#include <QPoint>
#include <QRect>

#include <optional>

namespace vardocle {

// A drop closer than this below the main window's bottom edge docks.
inline constexpr int kSettingSnapDistance = 30;

// Where the settings window first stands: beneath the main window, two pixels
// right of its left edge.
QPoint SettingPositionBeneath(const QRect& mainWindow);

// After the settings window was dragged to `dropped` (its top-left corner):
// the docked position (beneath the main window, aligned with its left edge)
// when its top is above the main window's bottom edge + 30; otherwise none,
// and it stays where it was dropped.
std::optional<QPoint> SnapBeneath(const QRect& mainWindow, const QPoint& dropped);

} // namespace vardocle
