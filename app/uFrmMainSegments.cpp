// The main window's long recordings: a new file every so many minutes, each
// entered into the history, and the watch on the room left on the disk.
#include "app/recording/LowDiskGuard.h"
#include "app/recording/SegmentRow.h"
#include "app/uFrmMain.h"
#include "platform/base/QtChild.h"
#include "platform/base/Text.h"

namespace vardocle {

void TFrmMain::ConnectSegments() {
    // Each file of a recording split by time has its own history record.
    connect(FSession.get(), &TRecordingSession::SegmentStarted, this,
            [this](const QString& avi, const QString& wav) {
                FAviFileName = avi;
                FWavFileName = wav;
                RecordStarted();
                SetTrayTip(State());
            });
    FLowDisk = MakeQtChild<TLowDiskGuard>(this);
    FLowDisk->OnWarn = [this](const QString& text) { FServices.ShowNotice(*this, text); };
    FLowDisk->OnStop = [this](const QString& text) {
        BtnStopClick();
        FServices.ShowNotice(*this, text);
    };
}

void TFrmMain::BeginRecording(std::unique_ptr<TRecordThread> thread,
                              std::unique_ptr<TWavRecord> sound) {
    FSession->SetSegmentSeconds(FSegmentForStart.value_or(
        FFrmSetting ? FFrmSetting->SegmentRow->Setting().MinutesWhenOn() * std::int64_t{60} : 0));
    FSession->Begin(std::move(thread), std::move(sound));
    FLowDisk->Start([this] { return EncodeSystem(FAviFileName); });
}

void TFrmMain::StopDiskWatch() {
    FLowDisk->Stop();
}

QString TFrmMain::SegmentTip(TRecordingState state) const {
    // A recording split into files says which one is being written.
    const bool split = FSession->SegmentSeconds() > 0 && state != TRecordingState::Idle;
    return split ? QStringLiteral("\n") + FAviFileName : QString();
}

} // namespace vardocle
