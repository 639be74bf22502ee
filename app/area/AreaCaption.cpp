#include "app/area/AreaCaption.h"

#include <QGuiApplication>
#include <QScreen>

namespace vardocle {

namespace {

// Long window titles would push the row's button out of the window.
constexpr int kMaxTitle = 14;

QString Size(const TScreenRect& rect) {
    return QStringLiteral("%1×%2").arg(rect.Width).arg(rect.Height);
}

} // namespace

QString AreaCaption(const TCaptureArea& area, const std::vector<TNamedMonitor>& monitors,
                    const QString& windowTitle) {
    switch (area.Kind) {
    case TAreaKind::Screen:
        return QStringLiteral("全屏");
    case TAreaKind::Monitor:
        for (std::size_t i = 0; i < monitors.size(); ++i)
            if (monitors[i].Name == area.Monitor)
                return QStringLiteral("显示器 %1 (%2)").arg(i + 1).arg(Size(monitors[i].Area));
        return QStringLiteral("显示器 %1 (未连接)").arg(QString::fromStdString(area.Monitor));
    case TAreaKind::Region:
        if (area.Pick)
            return QStringLiteral("区域 (开始时选择)");
        return QStringLiteral("区域 ") + Size(area.Region);
    case TAreaKind::Window: {
        if (area.Pick)
            return QStringLiteral("窗口 (开始时选择)");
        QString title = windowTitle.simplified();
        if (title.isEmpty())
            title = QStringLiteral("0x%1").arg(area.Window, 0, 16);
        else if (title.size() > kMaxTitle)
            title = title.left(kMaxTitle - 1) + QChar(0x2026);
        return QStringLiteral("窗口: ") + title;
    }
    }
    return QStringLiteral("全屏");
}

QString MonitorMenuText(const TNamedMonitor& monitor, int number) {
    QString text = QStringLiteral("显示器 %1 %2 (%3×%4, %5,%6)")
                       .arg(number)
                       .arg(QString::fromStdString(monitor.Name))
                       .arg(monitor.Area.Width)
                       .arg(monitor.Area.Height)
                       .arg(monitor.Area.X)
                       .arg(monitor.Area.Y);
    if (monitor.Primary)
        text += QStringLiteral("（主显示器）");
    return text;
}

std::vector<TNamedMonitor> DesktopMonitors() {
    std::vector<TNamedMonitor> monitors;
    const QScreen* primary = QGuiApplication::primaryScreen();
    for (const QScreen* screen : QGuiApplication::screens()) {
        const qreal ratio = screen->devicePixelRatio();
        const QRect place = screen->geometry();
        monitors.push_back({screen->name().toStdString(),
                            {qRound(place.x() * ratio), qRound(place.y() * ratio),
                             qRound(place.width() * ratio), qRound(place.height() * ratio)},
                            screen == primary});
    }
    return monitors;
}

TScreenRect DesktopBounds(const std::vector<TNamedMonitor>& monitors) {
    int right = 0;
    int bottom = 0;
    for (const auto& monitor : monitors) {
        right = std::max(right, monitor.Area.X + monitor.Area.Width);
        bottom = std::max(bottom, monitor.Area.Y + monitor.Area.Height);
    }
    return {0, 0, right, bottom};
}

} // namespace vardocle
