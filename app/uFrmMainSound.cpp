// The main window's sound: what the recording's sound is made of, and its recorder.
#include "app/RecordingNotices.h"
#include "app/sound/SoundRecorderStart.h"
#include "app/uFrmMain.h"
#include "engine/SoundHandOff.h"
#include "platform/base/Text.h"

namespace vardocle {

TSoundSetting TFrmMain::SoundForStart() const {
    TSoundSetting setting = FFrmSetting ? FFrmSetting->SoundSetting() : TSoundSetting{};
    if (FSoundForStart)
        setting.Choice = *FSoundForStart;
    return setting;
}

// Made and started before the capture thread runs, so that a sound that
// cannot be had leaves nothing behind.
std::unique_ptr<TWavRecord> TFrmMain::StartSound(std::shared_ptr<const TRecordStart> start) {
    QString whyNot;
    std::unique_ptr<TWavRecord> recorder = MakeSoundRecorder(
        SoundForStart(), FServices.MakeRecorder,
        [this](const QString& message) {
            QMetaObject::invokeMethod(
                this, [this, message] { FServices.ShowNotice(*this, message); },
                Qt::QueuedConnection);
        },
        whyNot);
    if (!recorder) {
        FServices.ShowNotice(*this, whyNot);
        return nullptr;
    }
    if (SoundForStart().Choice == TSoundChoice::Microphone)
        recorder->OnSilentStart = [this] {
            QMetaObject::invokeMethod(
                this,
                [this] { FServices.ShowNotice(*this, QString::fromUtf8(kMutedMicrophoneNotice)); },
                Qt::QueuedConnection);
        };
    recorder->LineUpWith(std::move(start));
    recorder->OnProblem = [this](TSoundProblem, const std::string& message) {
        FServices.ShowNotice(*this, QString::fromStdString(message));
    };
    // On the sound library's thread; the session ends the recording on its own.
    recorder->OnWriteFailed = [session = FSession.get()](int errorNumber) {
        session->SoundWriteFailed(errorNumber);
    };
    try {
        recorder->Start(EncodeSystem(FWavFileName), kWavBufferSize);
    } catch (const std::exception& error) {
        FServices.ShowNotice(*this, SoundStartFailedNotice(error));
        return nullptr;
    }
    return recorder;
}

} // namespace vardocle
