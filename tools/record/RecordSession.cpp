#include "tools/record/RecordSession.h"

#include "engine/SoundHandOff.h"
#include "platform/base/Paths.h"
#include "platform/screen/X11Screen.h"

#include <QTimer>

#include <filesystem>

namespace vardocle {

TRecordSession::TRecordSession(const TRecordOptions& options, QObject* mainThread)
    : FOptions(options), FInvoker(mainThread) {}

TRecordSession::~TRecordSession() {
    StopSound();
    if (FThread) {
        FThread->Terminate();
        FThread->WaitFor();
    }
}

void TRecordSession::Start() {
    SetConfiguredCodec(FOptions.Codec);
    FScreenBackend = ChooseScreenBackend(FOptions.Screen);
    std::unique_ptr<IScreen> screen = MakeScreen(FScreenBackend, FOptions.Rate);
    if (FOptions.Sound)
        FWavFileName = ChangeFileExt(FOptions.OutputFile, ".Wav");
    const auto* x11 = dynamic_cast<const TX11Screen*>(screen.get());
    FTransparentRecordedAnyway =
        !FOptions.Transparent && (!x11 || !x11->TransparentExclusionAvailable());
    FThread = std::make_unique<TRecordThread>(
        FOptions.OutputFile, TRect{0, 0, FOptions.Width, FOptions.Height}, FWavFileName,
        static_cast<std::uint8_t>(FOptions.Rate), std::move(screen), FInvoker);
    FThread->SetRecordCursor(FOptions.Cursor);
    FThread->SetRecordTransparent(FOptions.Transparent);
    FThread->OnRecordError = [this](TRecordThread&, const TRecordError& error) {
        if (!FError)
            FError = error;
        if (OnError)
            OnError(error);
        // A frame that could not be written ends the recording as Stop does:
        // the sound first, so that none of it is lost before the merge.
        if (error.Stage == TRecordError::TStage::Frame)
            Stop();
    };
    FThread->OnRecordEnd = [this](TRecordThread& sender) {
        FFinalFrames = sender.FramesWritten();
        FFinalMs = sender.RecordedMs();
        sender.WaitFor();
        EndRecording();
    };
    if (FOptions.Sound) {
        FWavRecord = std::make_unique<TWavRecord>();
        FWavRecord->OnProblem = [this](TSoundProblem problem, const std::string& message) {
            if (OnSoundProblem)
                OnSoundProblem(problem, message);
        };
        try {
            FWavRecord->Start(FWavFileName, kWavBufferSize);
        } catch (...) {
            // The thread was never resumed: no video file exists yet.
            FWavRecord.reset();
            FThread.reset();
            throw;
        }
    }
    FThread->Resume();
}

void TRecordSession::Pause() {
    if (!Running())
        return;
    FThread->Suspend();
    if (FWavRecord)
        FWavRecord->Pause();
}

void TRecordSession::Resume() {
    if (!Running())
        return;
    if (FWavRecord)
        FWavRecord->Resume();
    FThread->Resume();
}

void TRecordSession::Stop() {
    if (!Running())
        return;
    // The sound ends first: the merge at the thread's end reads its file.
    StopSound();
    FThread->Terminate();
}

void TRecordSession::StopSound() {
    StopSoundForMerge(FWavRecord, FThread.get());
}

void TRecordSession::EndRecording() {
    FEnded = true;
    // Only once the capture thread has ended is the sound in the video file.
    // When the merge failed the sound file stays, so no sound is lost.
    const bool merged = !FError || FError->Stage != TRecordError::TStage::Close;
    if (!FWavFileName.empty() && merged) {
        std::error_code ignored;
        std::filesystem::remove(FWavFileName, ignored);
    }
    if (OnEnded)
        OnEnded();
}

std::int32_t TRecordSession::FramesWritten() const {
    return FEnded || !FThread ? FFinalFrames : FThread->FramesWritten();
}

std::int64_t TRecordSession::RecordedMs() const {
    return FEnded || !FThread ? FFinalMs : FThread->RecordedMs();
}

} // namespace vardocle
