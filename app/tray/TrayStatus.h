#pragma once
// What the tray icon tells while the program runs: a red mark while it
// records and a pause mark while paused, the recorded time in its tip, the
// balloons placed at the icon once the tray has given it its place, and the
// balloon after a recording is saved, whose click shows the file.
#include "app/RecordingState.h"

#include <QElapsedTimer>
#include <QIcon>
#include <QObject>
#include <QString>

#include <functional>

class QSystemTrayIcon;
class QTimer;

namespace vardocle {

// The icon for a state: the program's icon, with a red dot while recording
// (and saving) and two bars while paused.
QIcon TrayIconFor(TRecordingState state, const QIcon& plain);

// "00:05", "61:40": minutes and seconds of a length in milliseconds.
QString MinutesSeconds(qint64 milliseconds);

// "录像已保存：NAME（时长 MM:SS，大小 N MB）" for a file of `bytes`.
QString SavedBalloonText(const QString& fileName, qint64 milliseconds, qint64 bytes);

class TTrayStatus : public QObject {
    Q_OBJECT
public:
    using TShowFile = std::function<void(const QString& file)>;

    // Works on `icon`, which outlives this object; `showFile` is called when
    // the user clicks the balloon of a saved recording.
    TTrayStatus(QSystemTrayIcon* icon, TShowFile showFile, QObject* parent);

    // Follows the recording state: the icon, the tip, and the recorded time
    // (pauses left out), counted from the start of each recording.
    void SetState(TRecordingState state);
    TRecordingState State() const { return FState; }
    qint64 RecordedMilliseconds() const;

    // Shows the balloon once the tray has placed the icon, so that it points
    // at the icon; `shown` is called when it was shown. With no tray on the
    // desktop it waits for one to appear.
    void ShowWhenPlaced(const QString& text, std::function<void()> shown = {});
    // The balloon naming a saved recording; nothing when the file is missing.
    void ShowSaved(const QString& file);
    // A balloon now (the icon has its place by the time the user acts).
    void ShowBalloon(const QString& text);
    // A line the tip adds while nothing is recorded (a recording waiting for
    // its time); empty for none.
    void SetWaitingLine(const QString& line);

private:
    void TryPlacedBalloon();
    void UpdateTip();

    QSystemTrayIcon* FIcon;
    TShowFile FShowFile;
    QIcon FPlainIcon;
    TRecordingState FState = TRecordingState::Idle;
    QElapsedTimer FRunning;     // since the last start or resume
    qint64 FRecordedBefore = 0; // recorded before that
    QTimer* FTipTimer;
    QTimer* FPlaceTimer;
    QString FWaitingText;
    std::function<void()> FWaitingShown;
    int FPlaceTries = 0;
    // The file the balloon on show names; empty for other balloons.
    QString FBalloonFile;
    QString FWaitingLine;
};

} // namespace vardocle
