#include "app/timer/RecordingTimer.h"

#include "app/IniFile.h"
#include "app/timer/ScheduleStore.h"
#include "platform/base/QtChild.h"
#include "recording/WallClockWait.h"

#include <QTimer>

#include <cstdio>

namespace vardocle {

TRecordingTimer::TRecordingTimer(std::filesystem::path settingFile, THooks hooks, QObject* parent)
    : QObject(parent), FSettingFile(std::move(settingFile)), FHooks(std::move(hooks)),
      FTick(MakeQtChild<QTimer>(this)) {
    FTick->setInterval(1000);
    connect(FTick, &QTimer::timeout, this, &TRecordingTimer::Tick);
}

TRecordingTimer::~TRecordingTimer() = default;

QString TRecordingTimer::Restore(const QDateTime& now) {
    const std::optional<TRecordingSchedule> stored = LoadSchedule(FSettingFile);
    if (!stored)
        return {};
    if (ScheduleMissed(*stored, now)) {
        Forget();
        return ScheduleMissedText(*stored);
    }
    FWaiting = stored;
    Arm();
    return {};
}

QString TRecordingTimer::Set(const TRecordingSchedule& schedule) {
    QString problem;
    try {
        SaveSchedule(FSettingFile, schedule);
    } catch (const EIniFileException& error) {
        problem = QStringLiteral("定时录制已设定，但无法保存到 Setting.ini（%1）："
                                 "程序退出后它将不再有效。")
                      .arg(QString::fromUtf8(error.what()));
    }
    FWaiting = schedule;
    Arm();
    return problem;
}

void TRecordingTimer::Cancel() {
    FWaiting.reset();
    FStartWait.reset();
    FTick->stop();
    Forget();
    if (FHooks.ShowWaiting)
        FHooks.ShowWaiting({});
}

void TRecordingTimer::RecordingEnded() {
    FStopWait.reset();
}

void TRecordingTimer::Arm() {
    // Called back from the wait's own check: started once that has returned.
    FStartWait = std::make_unique<TWallClockWait>(FWaiting->Start, [this] {
        QMetaObject::invokeMethod(this, &TRecordingTimer::StartNow, Qt::QueuedConnection);
    });
    FTick->start();
    Tick();
}

void TRecordingTimer::StartNow() {
    if (!FWaiting)
        return;
    const TRecordingSchedule schedule = *std::exchange(FWaiting, std::nullopt);
    FTick->stop();
    if (FHooks.ShowWaiting)
        FHooks.ShowWaiting({});
    // Gone once it is due, whether it starts or not: it never starts twice.
    Forget();
    if (!FHooks.Start || !FHooks.Start(schedule))
        return;
    if (const auto stop = ScheduleStop(schedule, QDateTime::currentDateTime())) {
        FStopWait = std::make_unique<TWallClockWait>(*stop, [this] {
            QMetaObject::invokeMethod(
                this,
                [this] {
                    // Not when the recording ended meanwhile.
                    if (!FStopWait)
                        return;
                    FStopWait.reset();
                    if (FHooks.Stop)
                        FHooks.Stop();
                },
                Qt::QueuedConnection);
        });
    }
}

void TRecordingTimer::Forget() {
    try {
        RemoveSchedule(FSettingFile);
    } catch (const EIniFileException& error) {
        // Found again at the next start, it is past by then and only told about.
        std::fprintf(stderr, "Vardocle: %s\n", error.what());
    }
}

void TRecordingTimer::Tick() {
    if (FWaiting && FHooks.ShowWaiting)
        FHooks.ShowWaiting(ScheduleTipLine(*FWaiting, QDateTime::currentDateTime()));
}

} // namespace vardocle
