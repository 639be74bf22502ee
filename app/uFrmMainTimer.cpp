// The main window's recordings on a timer: the tray menu's "定时录制…", the
// start at the set time as Start does with the name chosen then, and the
// schedule kept from an earlier run.
#include "app/OutputFileCheck.h"
#include "app/SettingStore.h"
#include "app/timer/RecordingTimer.h"
#include "app/timer/uFrmSchedule.h"
#include "app/tray/TrayStatus.h"
#include "app/uFrmMain.h"
#include "platform/base/Errors.h"
#include "platform/base/QtChild.h"
#include "platform/base/Text.h"
#include "recording/SegmentNames.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QScopeGuard>
#include <QTimer>

#include <cstdio>

namespace vardocle {

void TFrmMain::ConnectTimer() {
    TRecordingTimer::THooks hooks;
    hooks.Start = [this](const TRecordingSchedule& schedule) { return StartOnTimer(schedule); };
    hooks.Stop = [this] { BtnStopClick(); };
    hooks.ShowWaiting = [this](const QString& line) {
        if (FTrayStatus)
            FTrayStatus->SetWaitingLine(line);
    };
    FRecordingTimer = MakeQtChild<TRecordingTimer>(SettingFileName(), std::move(hooks), this);
    connect(FSession.get(), &TRecordingSession::Saved, FRecordingTimer,
            &TRecordingTimer::RecordingEnded);
    // With the recording items, after Stop.
    const QList<QAction*> items = TrayMenu->actions();
    const qsizetype stop = items.indexOf(MenuStop);
    MenuTimer = MakeQtChild<QAction>(QStringLiteral("定时录制…"), this);
    TrayMenu->insertAction(stop + 1 < items.size() ? items[stop + 1] : nullptr, MenuTimer);
    connect(MenuTimer, &QAction::triggered, this, &TFrmMain::MenuTimerClick);
    // Told once the window is up: a schedule whose time passed meanwhile.
    QTimer::singleShot(0, this, [this] {
        const QString missed = FRecordingTimer->Restore(QDateTime::currentDateTime());
        if (!missed.isEmpty())
            FServices.ShowNotice(*this, missed);
    });
}

void TFrmMain::MenuTimerClick() {
    // Not over another question or dialog of the program's.
    if (FChoosingFile || QApplication::activeModalWidget())
        return;
    TFrmSchedule::THooks hooks;
    // While the save dialog is open a Start is refused, as after Alt+1; the
    // schedule's own dialog refuses nothing, not even the timer coming due.
    hooks.ChooseFile = [this](const QString& offered) -> std::optional<QString> {
        if (FChoosingFile)
            return std::nullopt;
        FChoosingFile = true;
        const auto choosingDone = qScopeGuard([this] { FChoosingFile = false; });
        return FServices.ChooseFile(*this, offered);
    };
    hooks.AskOverwrite = [this] { return FServices.AskOverwrite(*this); };
    TFrmSchedule dialog(FRecordingTimer->Waiting(),
                        FLastChosenName.isEmpty() ? kFirstOutputName : FLastChosenName,
                        std::move(hooks), this);
    const int answer = dialog.exec();
    if (answer == TFrmSchedule::kCancelSchedule)
        FRecordingTimer->Cancel();
    else if (answer == QDialog::Accepted && dialog.Accepted()) {
        const QString problem = FRecordingTimer->Set(*dialog.Accepted());
        if (!problem.isEmpty())
            FServices.ShowNotice(*this, problem);
    }
}

bool TFrmMain::StartOnTimer(const TRecordingSchedule& schedule) {
    // Told in a balloon, and in the program's log for a user who was away.
    const auto tell = [this](const QString& text) {
        std::fprintf(stderr, "Vardocle: %s\n", qPrintable(text));
        if (FTrayStatus)
            FTrayStatus->ShowBalloon(text);
    };
    if (State() != TRecordingState::Idle || FChoosingFile || Closing()) {
        tell(ScheduleBusyText(schedule));
        return false;
    }
    TOutputPaths paths = OutputPathsFor(schedule.File);
    QString notice;
    // A file made since the schedule was set is not replaced unasked: the
    // recording goes beside it, with a counter as a long recording's parts do.
    if (!schedule.Replace && SegmentNameTaken(EncodeSystem(paths.AviFileName))) {
        int counter = 1;
        paths = OutputPathsFor(DecodeLenient(
            NextSegmentFileName(EncodeSystem(paths.AviFileName), counter, SegmentNameTaken)));
        notice = QStringLiteral("文件 %1 已经存在，定时录制改存为 %2。")
                     .arg(schedule.File, paths.AviFileName);
    }
    const QString problem = OutputFileProblem(paths.AviFileName, paths.WavFileName);
    if (!problem.isEmpty()) {
        FServices.ShowNotice(*this, QStringLiteral("定时录制没有开始：%1").arg(problem));
        return false;
    }
    FLastChosenName = paths.AviFileName;
    FAviFileName = paths.AviFileName;
    FWavFileName = paths.WavFileName;
    std::error_code ignored;
    FReplacing = std::filesystem::exists(EncodeSystem(FAviFileName), ignored) ||
                 std::filesystem::exists(EncodeSystem(FWavFileName), ignored);
    StartRecording();
    if (State() != TRecordingState::Recording)
        return false;
    if (!notice.isEmpty())
        tell(notice);
    return true;
}

} // namespace vardocle
