#include "app/area/uFrmAreaPick.h"

#include "app/area/AreaCaption.h"
#include "app/area/uFrmWindowList.h"
#include "platform/screen/portal/PortalScreen.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPixmap>
#include <QScreen>

namespace vardocle {

namespace {

const QColor kFrameColour(0, 160, 255);
const QColor kHintBack(0, 0, 0, 180);

Qt::CursorShape CursorFor(TAreaGrip grip) {
    switch (grip) {
    case TAreaGrip::Inside:
        return Qt::SizeAllCursor;
    case TAreaGrip::Left:
    case TAreaGrip::Right:
        return Qt::SizeHorCursor;
    case TAreaGrip::Top:
    case TAreaGrip::Bottom:
        return Qt::SizeVerCursor;
    case TAreaGrip::TopLeft:
    case TAreaGrip::BottomRight:
        return Qt::SizeFDiagCursor;
    case TAreaGrip::TopRight:
    case TAreaGrip::BottomLeft:
        return Qt::SizeBDiagCursor;
    case TAreaGrip::None:
        break;
    }
    return Qt::CrossCursor;
}

QImage Dimmed(const QImage& still) {
    QImage dimmed = still.convertToFormat(QImage::Format_RGB32);
    QPainter painter(&dimmed);
    painter.fillRect(dimmed.rect(), QColor(0, 0, 0, 128));
    return dimmed;
}

// A label on a dark plate, kept inside the overlay.
void DrawLabel(QPainter& painter, const QString& text, QPoint at, const QRect& within) {
    const QFontMetrics metrics(painter.font());
    QRect plate = metrics.boundingRect(text).adjusted(-6, -3, 6, 3);
    plate.moveTopLeft(at);
    plate.moveLeft(std::clamp(plate.left(), within.left(), within.right() - plate.width()));
    plate.moveTop(std::clamp(plate.top(), within.top(), within.bottom() - plate.height()));
    painter.fillRect(plate, kHintBack);
    painter.setPen(Qt::white);
    painter.drawText(plate, Qt::AlignCenter, text);
}

} // namespace

TFrmAreaPick::TFrmAreaPick(QImage still, const QRect& place, TAreaPickMode mode,
                           std::optional<TScreenRect> start, TAreaWindows windows)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::X11BypassWindowManagerHint | Qt::Tool),
      FStill(std::move(still)), FDimmed(Dimmed(FStill)), FMode(mode),
      FDrag({0, 0, FStill.width(), FStill.height()}, start), FWindows(std::move(windows)) {
    setWindowTitle(QStringLiteral("选择录制范围"));
    setAttribute(Qt::WA_QuitOnClose, false);
    setMouseTracking(true);
    setCursor(Qt::CrossCursor);
    setGeometry(place);
}

bool TFrmAreaPick::Run() {
    show();
    raise();
    activateWindow();
    // Without a window manager's focus an override-redirect window gets no
    // keys unless it takes them.
    grabKeyboard();
    QEventLoop loop;
    FRunning = true;
    while (FRunning && isVisible())
        loop.processEvents(QEventLoop::WaitForMoreEvents);
    releaseKeyboard();
    hide();
    // Gone from the screen before anything is grabbed from it.
    QCoreApplication::processEvents();
    return FTaken;
}

void TFrmAreaPick::Finish(bool taken) {
    FTaken = taken;
    FRunning = false;
    hide();
}

TAreaPoint TFrmAreaPick::ToStill(const QPointF& point) const {
    const double sx = width() > 0 ? static_cast<double>(FStill.width()) / width() : 1.0;
    const double sy = height() > 0 ? static_cast<double>(FStill.height()) / height() : 1.0;
    return {qRound(point.x() * sx), qRound(point.y() * sy)};
}

QRect TFrmAreaPick::ToWidget(const TScreenRect& rect) const {
    const double sx = FStill.width() > 0 ? static_cast<double>(width()) / FStill.width() : 1.0;
    const double sy = FStill.height() > 0 ? static_cast<double>(height()) / FStill.height() : 1.0;
    return QRectF(rect.X * sx, rect.Y * sy, rect.Width * sx, rect.Height * sy).toRect();
}

void TFrmAreaPick::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(rect(), FDimmed);
    std::optional<TScreenRect> shown =
        FMode == TAreaPickMode::Region ? FDrag.Rect()
                                       : (FWindow ? std::optional(FWindow->Area) : std::nullopt);
    QString hint;
    if (FMode == TAreaPickMode::Region)
        hint = QStringLiteral("拖动鼠标选择区域，拖动边框调整，方向键移动（Shift 加快），"
                              "回车或双击确定，Esc 取消");
    else
        hint = QStringLiteral("单击要录制的窗口，Tab 从列表中选择，Esc 取消");
    DrawLabel(painter, hint, {rect().center().x() - 200, 8}, rect());
    if (!shown)
        return;
    const QRect area = ToWidget(*shown);
    // The chosen part undimmed, as it will be recorded.
    painter.drawImage(area, FStill, QRect(shown->X, shown->Y, shown->Width, shown->Height));
    painter.setPen(QPen(kFrameColour, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(area.adjusted(-1, -1, 0, 0));
    QString label = QStringLiteral("%1 × %2").arg(shown->Width).arg(shown->Height);
    if (FMode == TAreaPickMode::Window && !FWindow->Title.isEmpty())
        label = FWindow->Title + QStringLiteral("  ") + label;
    // Beside the rectangle: above its top left corner, or inside it at the top.
    const QPoint at =
        area.top() >= 24 ? area.topLeft() - QPoint(0, 24) : area.topLeft() + QPoint(4, 4);
    DrawLabel(painter, label, at, rect());
}

void TFrmAreaPick::FollowPointer(const QPointF& point) {
    if (!FWindows.At)
        return;
    const TAreaPoint at = ToStill(point);
    auto window = FWindows.At(at.X, at.Y);
    if (window != FWindow) {
        FWindow = std::move(window);
        update();
    }
}

void TFrmAreaPick::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    if (FMode == TAreaPickMode::Window) {
        FollowPointer(event->position());
        if (FWindow)
            Finish(true);
        return;
    }
    FDrag.Press(ToStill(event->position()));
    update();
}

void TFrmAreaPick::mouseMoveEvent(QMouseEvent* event) {
    if (FMode == TAreaPickMode::Window) {
        FollowPointer(event->position());
        return;
    }
    const TAreaPoint at = ToStill(event->position());
    if (FDrag.Dragging()) {
        FDrag.Move(at);
        update();
    } else {
        setCursor(CursorFor(FDrag.GripAt(at)));
    }
}

void TFrmAreaPick::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || FMode != TAreaPickMode::Region)
        return;
    FDrag.Release(ToStill(event->position()));
    update();
}

void TFrmAreaPick::mouseDoubleClickEvent(QMouseEvent* event) {
    if (FMode == TAreaPickMode::Region && FDrag.Rect() &&
        FDrag.GripAt(ToStill(event->position())) != TAreaGrip::None)
        Finish(true);
}

void TFrmAreaPick::keyPressEvent(QKeyEvent* event) {
    const int step = event->modifiers() & Qt::ShiftModifier ? 10 : 1;
    switch (event->key()) {
    case Qt::Key_Escape:
        Finish(false);
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (FMode == TAreaPickMode::Region && FDrag.Rect())
            Finish(true);
        return;
    case Qt::Key_Tab:
        if (FMode == TAreaPickMode::Window) {
            FListAsked = true;
            Finish(false);
        }
        return;
    case Qt::Key_Left:
        FDrag.Nudge(-step, 0);
        break;
    case Qt::Key_Right:
        FDrag.Nudge(step, 0);
        break;
    case Qt::Key_Up:
        FDrag.Nudge(0, -step);
        break;
    case Qt::Key_Down:
        FDrag.Nudge(0, step);
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    update();
}

std::optional<TScreenRect> PickRegion(const QImage& still, QScreen* screen,
                                      std::optional<TScreenRect> start) {
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen || still.isNull())
        return std::nullopt;
    TFrmAreaPick pick(still, screen->geometry(), TAreaPickMode::Region, start);
    if (!pick.Run())
        return std::nullopt;
    return pick.Region();
}

QImage DesktopStill() {
    const std::vector<TNamedMonitor> monitors = DesktopMonitors();
    const TScreenRect bounds = DesktopBounds(monitors);
    QImage still(std::max(1, bounds.Width), std::max(1, bounds.Height), QImage::Format_RGB32);
    still.fill(Qt::black);
    QPainter painter(&still);
    for (QScreen* screen : QGuiApplication::screens()) {
        const qreal ratio = screen->devicePixelRatio();
        const QPoint at(qRound(screen->geometry().x() * ratio),
                        qRound(screen->geometry().y() * ratio));
        painter.drawPixmap(at, screen->grabWindow(0));
    }
    return still;
}

namespace {

// The overlay over the desktop's whole rectangle (logical pixels).
QRect DesktopPlace() {
    const QScreen* primary = QGuiApplication::primaryScreen();
    return primary ? primary->virtualGeometry() : QRect();
}

} // namespace

std::optional<TScreenRect> PickRegionOnDesktop(std::optional<TScreenRect> start) {
    const QRect place = DesktopPlace();
    if (place.isEmpty())
        return std::nullopt;
    TFrmAreaPick pick(DesktopStill(), place, TAreaPickMode::Region, start);
    if (!pick.Run())
        return std::nullopt;
    return pick.Region();
}

std::optional<TScreenRect> PickRegionOnSharedMonitor(std::optional<TScreenRect> start) {
    // The desktop asks the user which monitor to share; cancelled, no picture.
    const TCastPicture still = TakePortalStillPicture();
    if (still.Pixels.empty() || still.Width <= 0 || still.Height <= 0)
        return std::nullopt;
    const QImage picture(still.Pixels.data(), still.Width, still.Height, still.Stride(),
                         QImage::Format_RGB32);
    return PickRegion(picture.copy(), nullptr, start);
}

std::optional<TListedWindow> PickWindowOnDesktop(const TAreaWindows& windows, QWidget* listParent) {
    const QRect place = DesktopPlace();
    if (place.isEmpty())
        return std::nullopt;
    TFrmAreaPick pick(DesktopStill(), place, TAreaPickMode::Window, std::nullopt, windows);
    if (pick.Run())
        return pick.Window();
    if (pick.ListAsked() && windows.List)
        return ChooseWindowFromList(windows.List, listParent);
    return std::nullopt;
}

} // namespace vardocle
