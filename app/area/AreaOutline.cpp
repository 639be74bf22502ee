#include "app/area/AreaOutline.h"

#include "platform/base/QtChild.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>

namespace vardocle {

namespace {

const QColor kOutlineColour(255, 64, 64);
constexpr int kFollowMs = 250;

} // namespace

std::array<TScreenRect, 4> OutlineBars(const TScreenRect& area, int thickness) {
    const int outerWidth = area.Width + 2 * thickness;
    return {{
        {area.X - thickness, area.Y - thickness, outerWidth, thickness},
        {area.X - thickness, area.Y + area.Height, outerWidth, thickness},
        {area.X - thickness, area.Y, thickness, area.Height},
        {area.X + area.Width, area.Y, thickness, area.Height},
    }};
}

TAreaOutline::TAreaOutline(std::function<std::optional<TScreenRect>()> follow, QObject* owner)
    : QObject(owner), FFollow(std::move(follow)) {
    for (auto& bar : FBars) {
        bar = std::make_unique<QWidget>(
            nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowTransparentForInput |
                         Qt::X11BypassWindowManagerHint | Qt::WindowStaysOnTopHint | Qt::Tool);
        bar->setAttribute(Qt::WA_ShowWithoutActivating);
        bar->setAttribute(Qt::WA_QuitOnClose, false);
        bar->setWindowTitle(QStringLiteral("录制范围"));
        bar->setAutoFillBackground(true);
        QPalette palette = bar->palette();
        palette.setColor(QPalette::Window, kOutlineColour);
        bar->setPalette(palette);
    }
    FTimer = MakeQtChild<QTimer>(this);
    FTimer->setInterval(kFollowMs);
    connect(FTimer, &QTimer::timeout, this, [this] { Place(); });
    Place();
    FTimer->start();
}

TAreaOutline::~TAreaOutline() = default;

void TAreaOutline::Place() {
    const std::optional<TScreenRect> area = FFollow ? FFollow() : std::nullopt;
    if (area == FPlaced)
        return;
    FPlaced = area;
    if (!area) {
        for (auto& bar : FBars)
            bar->hide();
        return;
    }
    // The area is in device pixels; the windows are placed in logical ones.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const qreal ratio = screen ? screen->devicePixelRatio() : 1.0;
    const int thickness = std::max(1, qRound(kThickness * ratio));
    const auto bars = OutlineBars(*area, thickness);
    for (std::size_t i = 0; i < FBars.size(); ++i) {
        const TScreenRect& place = bars[i];
        FBars[i]->setGeometry(qFloor(place.X / ratio), qFloor(place.Y / ratio),
                              qCeil(place.Width / ratio), qCeil(place.Height / ratio));
        FBars[i]->show();
    }
}

} // namespace vardocle
