#pragma once
// The scheduled recording while the program runs: kept in Setting.ini until
// it starts or is cancelled, the wait for its start and its end on the wall
// clock, and the line the tray tip shows while it waits.
#include "app/timer/RecordingSchedule.h"

#include <QObject>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

class QTimer;

namespace vardocle {

class TWallClockWait;

class TRecordingTimer : public QObject {
public:
    struct THooks {
        // Starts the recording as Start does; true when it is recording.
        std::function<bool(const TRecordingSchedule& schedule)> Start;
        // Ends the recording it started, as Stop does.
        std::function<void()> Stop;
        // The tray tip's line while waiting; empty once nothing waits.
        std::function<void(const QString& line)> ShowWaiting;
    };

    TRecordingTimer(std::filesystem::path settingFile, THooks hooks, QObject* parent);
    ~TRecordingTimer() override;

    // Takes up the schedule kept in the file. One whose start passed while
    // the program did not run is removed, not started: the text telling the
    // user so is returned (empty otherwise).
    QString Restore(const QDateTime& now);
    // Keeps the schedule in the file (in place of any other) and waits for
    // it. When the file cannot be written it waits all the same, for this run
    // only: the text telling the user so is returned (empty otherwise).
    QString Set(const TRecordingSchedule& schedule);
    // Drops the waiting schedule and its keys in the file.
    void Cancel();
    const std::optional<TRecordingSchedule>& Waiting() const { return FWaiting; }
    // The recording ended (by Stop or otherwise): its end on the timer is dropped.
    void RecordingEnded();

private:
    void Arm();
    void StartNow();
    void Forget();
    void Tick();

    std::filesystem::path FSettingFile;
    THooks FHooks;
    std::optional<TRecordingSchedule> FWaiting;
    std::unique_ptr<TWallClockWait> FStartWait;
    std::unique_ptr<TWallClockWait> FStopWait;
    QTimer* FTick;
};

} // namespace vardocle
