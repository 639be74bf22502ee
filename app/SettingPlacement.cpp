#include "app/SettingPlacement.h"

namespace vardocle {

QPoint SettingPositionBeneath(const QRect& mainWindow) {
    return {mainWindow.left() + 2, mainWindow.top() + mainWindow.height()};
}

std::optional<QPoint> SnapBeneath(const QRect& mainWindow, const QPoint& dropped) {
    const int bottom = mainWindow.top() + mainWindow.height();
    if (dropped.y() < bottom + kSettingSnapDistance)
        return QPoint(mainWindow.left(), bottom);
    return std::nullopt;
}

} // namespace vardocle
