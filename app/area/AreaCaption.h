#pragma once
// What the settings row says about the recording's area, and which monitors
// the user chooses from.
#include "app/area/AreaWindows.h"
#include "platform/screen/CaptureArea.h"

#include <QString>

#include <vector>

namespace vardocle {

// "全屏", "显示器 2 (1920×1080)", "区域 800×600", "窗口: 标题"; a window
// whose title is not known is named by its id. Monitors are numbered in
// the order given, from 1.
QString AreaCaption(const TCaptureArea& area, const std::vector<TNamedMonitor>& monitors,
                    const QString& windowTitle = {});

// A monitor's line in the menu: "显示器 2 DP-1 (1920×1080, 1920,0)", with
// "（主显示器）" after the primary one.
QString MonitorMenuText(const TNamedMonitor& monitor, int number);

// The monitors of the desktop the program shows its windows on, in device
// pixels and root coordinates.
std::vector<TNamedMonitor> DesktopMonitors();
// The root window's size: the rectangle holding every monitor.
TScreenRect DesktopBounds(const std::vector<TNamedMonitor>& monitors);

} // namespace vardocle
