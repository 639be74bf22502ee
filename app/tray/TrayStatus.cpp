#include "app/tray/TrayStatus.h"

#include "platform/base/QtChild.h"

#include <QFileInfo>
#include <QMenu>
#include <QPainter>
#include <QSystemTrayIcon>
#include <QTimer>

namespace vardocle {

namespace {

constexpr int kIconSize = 32;
constexpr int kPlaceCheckMs = 100;
// A tray that has not placed the icon after this long may never report its
// place (a notification service shows balloons itself).
constexpr int kPlaceTriesWithTray = 50;

} // namespace

QIcon TrayIconFor(TRecordingState state, const QIcon& plain) {
    if (state == TRecordingState::Idle)
        return plain;
    QPixmap picture = plain.pixmap(kIconSize, kIconSize);
    if (picture.isNull()) {
        picture = QPixmap(kIconSize, kIconSize);
        picture.fill(Qt::transparent);
    }
    picture = picture.scaled(kIconSize, kIconSize);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF mark(kIconSize * 0.45, kIconSize * 0.45, kIconSize * 0.55, kIconSize * 0.55);
    painter.setPen(QPen(Qt::white, 2));
    if (state == TRecordingState::Paused) {
        painter.setBrush(QColor(255, 190, 0));
        painter.drawRoundedRect(mark, 3, 3);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::black);
        const qreal bar = mark.width() / 5;
        painter.drawRect(QRectF(mark.left() + bar, mark.top() + bar, bar, mark.height() - 2 * bar));
        painter.drawRect(
            QRectF(mark.left() + 3 * bar, mark.top() + bar, bar, mark.height() - 2 * bar));
    } else {
        painter.setBrush(QColor(230, 0, 0));
        painter.drawEllipse(mark);
    }
    painter.end();
    return QIcon(picture);
}

QString MinutesSeconds(qint64 milliseconds) {
    const qint64 seconds = std::max<qint64>(0, milliseconds) / 1000;
    return QStringLiteral("%1:%2")
        .arg(seconds / 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString SavedBalloonText(const QString& fileName, qint64 milliseconds, qint64 bytes) {
    const double megabytes = static_cast<double>(bytes) / (1024.0 * 1024.0);
    // Small recordings keep a decimal, so that they never read "0 MB".
    const QString size = megabytes < 0.1  ? QString::number(megabytes, 'f', 2)
                         : megabytes < 10 ? QString::number(megabytes, 'f', 1)
                                          : QString::number(qRound64(megabytes));
    return QStringLiteral("录像已保存：%1（时长 %2，大小 %3 MB）")
        .arg(fileName, MinutesSeconds(milliseconds), size);
}

TTrayStatus::TTrayStatus(QSystemTrayIcon* icon, TShowFile showFile, QObject* parent)
    : QObject(parent), FIcon(icon), FShowFile(std::move(showFile)), FPlainIcon(icon->icon()),
      FTipTimer(MakeQtChild<QTimer>(this)), FPlaceTimer(MakeQtChild<QTimer>(this)) {
    FTipTimer->setInterval(1000);
    connect(FTipTimer, &QTimer::timeout, this, &TTrayStatus::UpdateTip);
    FPlaceTimer->setInterval(kPlaceCheckMs);
    connect(FPlaceTimer, &QTimer::timeout, this, &TTrayStatus::TryPlacedBalloon);
    connect(FIcon, &QSystemTrayIcon::messageClicked, this, [this] {
        if (!FBalloonFile.isEmpty() && FShowFile)
            FShowFile(FBalloonFile);
    });
}

void TTrayStatus::SetState(TRecordingState state) {
    const bool wasRunning = FState == TRecordingState::Recording;
    if (wasRunning && state != TRecordingState::Recording)
        FRecordedBefore += FRunning.elapsed();
    if (state == TRecordingState::Recording && !wasRunning) {
        // A new recording counts from nothing; a resumed one goes on.
        if (FState != TRecordingState::Paused)
            FRecordedBefore = 0;
        FRunning.start();
    }
    if (state != FState)
        FIcon->setIcon(TrayIconFor(state, FPlainIcon));
    FState = state;
    const bool counting = state == TRecordingState::Recording || state == TRecordingState::Paused;
    if (counting && !FTipTimer->isActive())
        FTipTimer->start();
    else if (!counting)
        FTipTimer->stop();
    UpdateTip();
}

qint64 TTrayStatus::RecordedMilliseconds() const {
    return FRecordedBefore + (FState == TRecordingState::Recording ? FRunning.elapsed() : 0);
}

void TTrayStatus::UpdateTip() {
    // Saving has its own tip with the progress, set by the main window.
    if (FState == TRecordingState::Saving)
        return;
    // A tip changed under an open menu makes it flicker on some trays.
    if (FIcon->contextMenu() && FIcon->contextMenu()->isVisible())
        return;
    QString tip = TrayTipFor(FState);
    if (FState != TRecordingState::Idle)
        tip += QStringLiteral("\n已录制 %1").arg(MinutesSeconds(RecordedMilliseconds()));
    else if (!FWaitingLine.isEmpty())
        tip += QStringLiteral("\n") + FWaitingLine;
    FIcon->setToolTip(tip);
}

void TTrayStatus::SetWaitingLine(const QString& line) {
    FWaitingLine = line;
    UpdateTip();
}

void TTrayStatus::ShowBalloon(const QString& text) {
    FBalloonFile.clear();
    FIcon->showMessage(QStringLiteral("Vardocle"), text, FIcon->icon());
}

void TTrayStatus::ShowWhenPlaced(const QString& text, std::function<void()> shown) {
    FWaitingText = text;
    FWaitingShown = std::move(shown);
    FPlaceTries = 0;
    FPlaceTimer->setInterval(kPlaceCheckMs);
    // Never at once: the tray embeds the icon from the event loop.
    FPlaceTimer->start();
}

void TTrayStatus::TryPlacedBalloon() {
    const bool placed = FIcon->geometry().isValid() && !FIcon->geometry().isEmpty();
    const bool trayHere = QSystemTrayIcon::isSystemTrayAvailable();
    // Waiting for a tray to appear at all need not look ten times a second.
    FPlaceTimer->setInterval(trayHere ? kPlaceCheckMs : 10 * kPlaceCheckMs);
    if (!placed) {
        if (trayHere)
            ++FPlaceTries;
        if (!trayHere || FPlaceTries < kPlaceTriesWithTray)
            return;
    }
    FPlaceTimer->stop();
    ShowBalloon(FWaitingText);
    FWaitingText.clear();
    if (auto shown = std::exchange(FWaitingShown, {}))
        shown();
}

void TTrayStatus::ShowSaved(const QString& file) {
    const QFileInfo info(file);
    if (file.isEmpty() || !info.exists())
        return;
    ShowBalloon(SavedBalloonText(info.fileName(), RecordedMilliseconds(), info.size()));
    FBalloonFile = info.absoluteFilePath();
}

} // namespace vardocle
