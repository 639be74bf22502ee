#pragma once
// One recording's two workers, the capture thread and the sound recorder, from
// the start to the saved file. Ending a recording never blocks this thread:
// the sound is stopped first (so nothing still buffered is lost), then the
// capture thread completes the file and merges the sound on its own thread
// while this one goes on handling events; the sound file goes once it is in
// the video. No nested event loop runs here, so a box the user opens
// meanwhile cannot hold the end of the recording up.
#include "engine/MainThreadInvoker.h"
#include "engine/RecordThread.h"
#include "engine/WavRecord.h"

#include <QObject>
#include <QTimer>

#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace vardocle {

class TRecordingSession : public QObject {
    Q_OBJECT
public:
    enum class TPhase { Idle, Recording, Paused, Saving };

    explicit TRecordingSession(QObject* parent = nullptr);
    // A recording still running is finished, not cut off (without signals).
    ~TRecordingSession() override;
    TRecordingSession(const TRecordingSession&) = delete;
    TRecordingSession& operator=(const TRecordingSession&) = delete;

    // The capture thread of Begin must hand its steps to this.
    IMainThreadInvoker& Invoker() { return FInvoker; }

    // Takes over a capture thread made suspended with Invoker() and the sound
    // recorder already started (null without sound), and starts capturing.
    void Begin(std::unique_ptr<TRecordThread> thread, std::unique_ptr<TWavRecord> sound);
    // The next Begin goes on in a new file every this many seconds of
    // recorded time (0: one file), named after the first.
    void SetSegmentSeconds(std::int64_t seconds) { FSegmentSeconds = seconds; }
    std::int64_t SegmentSeconds() const { return FSegmentSeconds; }
    // The finished parts of a split recording still being completed (system
    // encoding): they are written to until their merge is done.
    const std::vector<std::string>& SegmentsCompleting() const { return FSegmentsCompleting; }
    void Pause();
    void Resume();
    // Ends the recording and returns at once; Saved follows when the file is
    // complete. Nothing happens when idle or already saving.
    void Stop();
    // Ends the recording and returns once it is saved, for the moments when
    // no event loop will run again (the session ending, the program quitting).
    void FinishNow();

    // The sound recorder could not write its file; from any thread (the
    // sound library's). The recording ends, as at a frame that failed.
    void SoundWriteFailed(int errorNumber);

    TPhase Phase() const;
    // How far saving has come, 0-100.
    int SavingProgress() const;

signals:
    // The video file exists and frames follow.
    void Started();
    // A failure the user should hear of; for a frame that could not be
    // written the recording is already being ended.
    void Failed(const vardocle::TRecordError& error);
    void SavingProgressChanged(int percent);
    // The recording is over and idle again. `soundKept`: the sound could not
    // be merged and its file was left where it was.
    void Saved(bool soundKept);
    // The disk was full: the recording stopped by itself. Told before Saved,
    // once the files are as complete as the disk allows, with what was kept.
    void DiskFullEnded(const QString& message);
    // The recording ended by itself as Stop ends it, because the screen has
    // nothing more to show (the recorded window was closed); raised once it
    // is saved, with the reason for the user.
    void ScreenGone(const QString& message);
    // A recording split by time goes on in a new file (system-encoded names).
    void SegmentStarted(const QString& aviFileName, const QString& wavFileName);

private:
    void RecordFailed(const TRecordError& error);
    void Complete();
    void Finish();
    void FinishAfterDiskFull(const std::string& aviFileName, const std::string& wavFileName,
                             bool videoIncomplete);
    void PollProgress();
    // Hands the capture thread the names of the next files and the sound
    // recorder the moment to go on in the next sound file.
    void SetUpSegments();

    TQtMainThreadInvoker FInvoker;
    std::unique_ptr<TRecordThread> FThread;
    std::unique_ptr<TWavRecord> FSound;
    QTimer FProgressTimer;
    int FLastProgress = -1;
    bool FPaused = false;
    bool FStopping = false;
    bool FMergeFailed = false;
    bool FDiskFull = false;
    QString FScreenGoneMessage;
    bool FCompleting = false;
    bool FRemovingSound = false;
    std::thread FSoundRemoval;
    std::int64_t FSegmentSeconds = 0;
    int FSegmentCounter = 1;
    std::vector<std::string> FSegmentsCompleting;
};

} // namespace vardocle
