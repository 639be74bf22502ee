#include "app/RecordingSession.h"

#include "engine/SoundHandOff.h"
#include "platform/base/Errors.h"
#include "recovery/DiskFullEnding.h"

#include <QCoreApplication>

#include <chrono>
#include <filesystem>
#include <thread>
#include <utility>

namespace vardocle {

namespace {

// How often the tray hears how far saving has come.
constexpr int kProgressIntervalMs = 100;

} // namespace

TRecordingSession::TRecordingSession(QObject* parent) : QObject(parent), FInvoker(this) {
    FProgressTimer.setInterval(kProgressIntervalMs);
    connect(&FProgressTimer, &QTimer::timeout, this, &TRecordingSession::PollProgress);
}

TRecordingSession::~TRecordingSession() {
    // Whoever listened may be on its way out.
    disconnect(this, nullptr, nullptr, nullptr);
    FinishNow();
    if (FSoundRemoval.joinable())
        FSoundRemoval.join();
}

void TRecordingSession::Begin(std::unique_ptr<TRecordThread> thread,
                              std::unique_ptr<TWavRecord> sound) {
    FThread = std::move(thread);
    FSound = std::move(sound);
    FPaused = false;
    FStopping = false;
    FMergeFailed = false;
    FDiskFull = false;
    FScreenGoneMessage.clear();
    FCompleting = false;
    FLastProgress = -1;
    // The thread posts these to this object's thread, never while it waits
    // in a hand-off.
    FThread->OnRecordStart = [this](TRecordThread&) { emit Started(); };
    FThread->OnRecordError = [this](TRecordThread&, const TRecordError& error) {
        RecordFailed(error);
    };
    FThread->OnScreenGone = [this](TRecordThread&, const std::string& reason) {
        FScreenGoneMessage = QString::fromStdString(reason);
        Stop();
    };
    FThread->OnRecordEnd = [this](TRecordThread&) {
        // Later: the thread is freed on the way, and that must not happen
        // inside its own handler.
        FCompleting = true;
        QMetaObject::invokeMethod(this, &TRecordingSession::Complete, Qt::QueuedConnection);
    };
    if (FSegmentSeconds > 0)
        SetUpSegments();
    FThread->Resume();
}

TRecordingSession::TPhase TRecordingSession::Phase() const {
    if (!FThread)
        return FRemovingSound ? TPhase::Saving : TPhase::Idle;
    if (FStopping)
        return TPhase::Saving;
    return FPaused ? TPhase::Paused : TPhase::Recording;
}

int TRecordingSession::SavingProgress() const {
    if (!FThread)
        return 100;
    return std::max(0, FThread->SavingProgress());
}

void TRecordingSession::Pause() {
    if (Phase() != TPhase::Recording)
        return;
    if (FSound)
        FSound->Pause();
    FThread->Suspend();
    FPaused = true;
}

void TRecordingSession::Resume() {
    if (Phase() != TPhase::Paused)
        return;
    if (FSound)
        FSound->Resume();
    FThread->Resume();
    FPaused = false;
}

void TRecordingSession::Stop() {
    if (!FThread || FStopping)
        return;
    FStopping = true;
    // The sound first: what it still holds reaches its file, and the merge
    // reads that file.
    StopSoundForMerge(FSound, FThread.get());
    FThread->Resume(); // a paused thread must run to see the request
    FThread->Terminate();
    FLastProgress = -1;
    PollProgress();
    FProgressTimer.start();
}

void TRecordingSession::FinishNow() {
    if (!FThread && !FRemovingSound)
        return;
    Stop();
    // The capture thread may still wait for a frame handed to this thread;
    // its steps and the handlers it posted are run here, without an event
    // loop, until the recording is complete.
    while (FThread || FRemovingSound) {
        QCoreApplication::sendPostedEvents(this, 0);
        if ((FThread && !FCompleting) || FRemovingSound)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void TRecordingSession::SoundWriteFailed(int errorNumber) {
    QMetaObject::invokeMethod(
        this,
        [this, errorNumber] {
            FDiskFull = FDiskFull || IsDiskFullError(errorNumber);
            // The video ends with its sound, and on a full disk it keeps the
            // room its ending needs.
            Stop();
        },
        Qt::QueuedConnection);
}

void TRecordingSession::RecordFailed(const TRecordError& error) {
    FDiskFull = FDiskFull || error.DiskFull();
    switch (error.Stage) {
    case TRecordError::TStage::Frame:
        // Capturing has stopped and the thread waits to be ended as Stop
        // does, the sound first.
        Stop();
        break;
    case TRecordError::TStage::Close:
        FMergeFailed = true;
        break;
    case TRecordError::TStage::Open:
        break; // the thread ends by itself
    }
    emit Failed(error);
}

void TRecordingSession::PollProgress() {
    const int progress = SavingProgress();
    if (progress != FLastProgress) {
        FLastProgress = progress;
        emit SavingProgressChanged(progress);
    }
}

void TRecordingSession::Complete() {
    if (!FThread)
        return;
    // A recording that ended by itself (its file could not be made) still
    // has its sound running.
    StopSoundForMerge(FSound, FThread.get());
    FThread->WaitFor();
    const std::string wavFileName = FThread->WavFileName();
    const std::string aviFileName = FThread->AviFileName();
    FDiskFull = FDiskFull || FThread->DiskFull();
    FMergeFailed = FMergeFailed || FThread->SoundKept();
    const bool videoIncomplete = FThread->VideoIncomplete();
    FThread.reset();
    FProgressTimer.stop();
    FPaused = false;
    FStopping = false;
    FCompleting = false;
    if (FDiskFull) {
        FinishAfterDiskFull(aviFileName, wavFileName, videoIncomplete);
        return;
    }
    // The sound is in the video now; when the merge failed its file stays,
    // so nothing is lost.
    if (FMergeFailed || wavFileName.empty()) {
        Finish();
        return;
    }
    // Freeing an hour of sound takes the file system a good part of a
    // second: not on this thread. Saving lasts until the file is gone, so no
    // new recording can meet it.
    FRemovingSound = true;
    FSoundRemoval = std::thread([this, wavFileName] {
        std::error_code ignored; // a file already gone is no error
        std::filesystem::remove(wavFileName, ignored);
        QMetaObject::invokeMethod(this, &TRecordingSession::Finish, Qt::QueuedConnection);
    });
}

// What the disk allows is completed off this thread (a repair may copy the
// whole video), then the user hears what was kept. Nothing is removed: a
// sound file still there waits for room to be merged.
void TRecordingSession::FinishAfterDiskFull(const std::string& aviFileName,
                                            const std::string& wavFileName, bool videoIncomplete) {
    FRemovingSound = true;
    FSoundRemoval = std::thread([this, aviFileName, wavFileName, videoIncomplete] {
        const TKeptRecording kept = vardocle::FinishAfterDiskFull(
            aviFileName, wavFileName, videoIncomplete, TRepairHint::Program);
        FMergeFailed = kept.SoundKept;
        const QString message = QString::fromStdString(kept.Chinese);
        QMetaObject::invokeMethod(
            this,
            [this, message] {
                emit DiskFullEnded(message);
                Finish();
            },
            Qt::QueuedConnection);
    });
}

void TRecordingSession::Finish() {
    if (FSoundRemoval.joinable())
        FSoundRemoval.join();
    FRemovingSound = false;
    emit Saved(FMergeFailed);
    // After the saved notice, which it would otherwise be hidden behind.
    if (!FScreenGoneMessage.isEmpty())
        emit ScreenGone(std::exchange(FScreenGoneMessage, {}));
}

} // namespace vardocle
