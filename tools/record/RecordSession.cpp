#include "tools/record/RecordSession.h"

#include "engine/SoundHandOff.h"
#include "platform/base/Errors.h"
#include "platform/base/Paths.h"
#include "platform/screen/X11Screen.h"
#include "platform/screen/X11WindowScreen.h"

#include <QTimer>

#include <algorithm>
#include <filesystem>

namespace vardocle {

TRecordSession::TRecordSession(const TRecordOptions& options, QObject* mainThread)
    : FOptions(options), FInvoker(mainThread), FMainThread(mainThread) {}

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
    std::unique_ptr<IScreen> screen = MakeScreen(FScreenBackend, FOptions.Rate, FOptions.Area);
    screen->SetNoticeHandler([this](const std::string& chinese, const std::string& english) {
        if (OnScreenNotice)
            OnScreenNotice(chinese, english);
    });
    FWidth = FOptions.Width;
    FHeight = FOptions.Height;
    const std::optional<TScreenRect> area = screen->AreaNow();
    if (!FOptions.SizeGiven && FOptions.Area.Kind != TAreaKind::Screen && area) {
        // Pixel for pixel, but for the even sides the encoder may need.
        const TPictureSize size = RecordedSize(
            FOptions.Codec, {std::min(area->Width, 5000), std::min(area->Height, 5000)});
        FWidth = std::min(size.Width, 5000);
        FHeight = std::min(size.Height, 5000);
    }
    if (FOptions.Sound)
        FWavFileName = ChangeFileExt(FOptions.OutputFile, ".Wav");
    const auto* x11 = dynamic_cast<const TX11Screen*>(screen.get());
    // A window's own picture holds no other window, see-through or not.
    const auto* window = dynamic_cast<const TX11WindowScreen*>(screen.get());
    FTransparentRecordedAnyway = !FOptions.Transparent && !(window && window->ReadsOwnPicture()) &&
                                 (!x11 || !x11->TransparentExclusionAvailable());
    FThread = std::make_unique<TRecordThread>(
        FOptions.OutputFile, TRect{0, 0, FWidth, FHeight}, FWavFileName,
        static_cast<std::uint8_t>(FOptions.Rate), std::move(screen), FInvoker);
    FAviFileName = FOptions.OutputFile;
    if (FOptions.AllDay.SegmentSeconds)
        SetUpSegments();
    FThread->SetRecordCursor(FOptions.Cursor);
    FThread->SetRecordTransparent(FOptions.Transparent);
    FThread->OnRecordError = [this](TRecordThread&, const TRecordError& error) {
        if (!FError)
            FError = error;
        FDiskFull = FDiskFull || error.DiskFull();
        if (OnError)
            OnError(error);
        // A frame that could not be written ends the recording as Stop does:
        // the sound first, so that none of it is lost before the merge.
        if (error.Stage == TRecordError::TStage::Frame)
            Stop();
    };
    FThread->OnScreenGone = [this](TRecordThread&, const std::string& reason) {
        if (OnScreenGone)
            OnScreenGone(reason);
        Stop();
    };
    FThread->OnRecordEnd = [this](TRecordThread& sender) {
        FFinalFrames = sender.FramesWritten();
        FFinalMs = sender.RecordedMs();
        FDiskFull = FDiskFull || sender.DiskFull();
        FVideoIncomplete = sender.VideoIncomplete();
        FSoundKept = sender.SoundKept();
        sender.WaitFor();
        EndRecording();
    };
    if (FOptions.Sound) {
        FWavRecord = SoundLibrary ? std::make_unique<TWavRecord>(SoundLibrary)
                                  : std::make_unique<TWavRecord>();
        FWavRecord->OnProblem = [this](TSoundProblem problem, const std::string& message) {
            if (OnSoundProblem)
                OnSoundProblem(problem, message);
        };
        // On the sound library's thread: the recording is ended from this one.
        FWavRecord->OnWriteFailed = [this](int errorNumber) {
            QMetaObject::invokeMethod(
                FMainThread, [this, errorNumber] { SoundWriteFailed(errorNumber); },
                Qt::QueuedConnection);
        };
        FWavRecord->LineUpWith(FThread->RecordStart());
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
    // A frame around a region shows what is recorded; it is no loss when
    // it cannot be shown.
    if (FOptions.Area.Kind == TAreaKind::Region && FScreenBackend == TScreenBackend::X11 && area) {
        try {
            FOutline = std::make_unique<TX11AreaOutline>();
            FOutline->Show(*area);
        } catch (const Exception&) {
            FOutline.reset();
        }
    }
}

void TRecordSession::RaiseOutline() {
    if (FOutline)
        FOutline->Raise();
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

// The sound could not be written: the recording ends with it, so that its
// video does not go on without sound (and, on a full disk, keeps the room
// its ending needs).
void TRecordSession::SoundWriteFailed(int errorNumber) {
    FDiskFull = FDiskFull || IsDiskFullError(errorNumber);
    Stop();
}

void TRecordSession::StopSound() {
    StopSoundForMerge(FWavRecord, FThread.get());
}

void TRecordSession::EndRecording() {
    FEnded = true;
    FOutline.reset();
    // Only once the capture thread has ended is the sound in the video file.
    // When the merge failed the sound file stays, so no sound is lost.
    if (!FWavFileName.empty() && !FSoundKept) {
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
