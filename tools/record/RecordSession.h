#pragma once
// One recording of the command-line recorder: the screen, the capture thread
// and the sound recorder beside it, started, paused and stopped together. Lives on the main thread,
// whose event loop runs the recording's steps.
#include "engine/MainThreadInvoker.h"
#include "engine/RecordThread.h"
#include "engine/WavRecord.h"
#include "platform/screen/X11AreaOutline.h"
#include "tools/record/RecordOptions.h"

#include <QObject>

#include <functional>
#include <memory>
#include <optional>

namespace vardocle {

class TRecordSession {
public:
    TRecordSession(const TRecordOptions& options, QObject* mainThread);
    ~TRecordSession();

    // Connects to the screen, creates the sound file and starts recording.
    // Raises EAreaMissing when the area is not wholly on the screen,
    // vardocle::Exception when there is no screen to record and
    // EFCreateError when the sound file cannot be created (nothing is left
    // behind then).
    void Start();
    void Pause();
    void Resume();
    // Ends the recording; OnEnded follows when the file is complete. The
    // sound file is removed once its sound is in the video file.
    void Stop();

    bool Running() const { return FThread && !FEnded; }
    std::int32_t FramesWritten() const;
    std::int64_t RecordedMs() const;
    const std::optional<TRecordError>& Error() const { return FError; }
    // Once ended: the disk was full (for the video, the sound or the merge);
    // the video's ending could not be written; the sound was not merged and
    // its file stays beside the video.
    bool DiskFull() const { return FDiskFull; }
    bool VideoIncomplete() const { return FVideoIncomplete; }
    bool SoundKept() const { return FSoundKept; }
    // True when transparent windows were to be left out but the screen
    // cannot do it, so they are recorded after all.
    bool TransparentWindowsRecordedAnyway() const { return FTransparentRecordedAnyway; }
    // The screen the recording reads (known once started).
    TScreenBackend ScreenBackend() const { return FScreenBackend; }
    // The picture's size in the file (without --size, the area's own).
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    // Puts the frame around a recorded region back on top.
    void RaiseOutline();

    // The sound file beside the video ("NAME.Wav"); empty without sound.
    const std::string& WavFileName() const { return FWavFileName; }
    // The video file being written (the latest one when split by time).
    const std::string& AviFileName() const { return FAviFileName; }
    // Told when a file of a recording split by time is complete.
    std::function<void(const TSegmentEnd&)> OnSegmentEnded;

    std::function<void(const TRecordError&)> OnError;
    // A problem with the sound alone; the video goes on.
    std::function<void(TSoundProblem, const std::string& Message)> OnSoundProblem;
    // Where the sound comes from; the system's recording device when empty.
    std::shared_ptr<TSoundLibrary> SoundLibrary;
    std::function<void()> OnEnded;
    // The screen has nothing more to show (the recorded window was closed):
    // the recording ends as Stop ends it, and OnEnded follows. The reason is
    // for the user, in Chinese.
    std::function<void(const std::string& Reason)> OnScreenGone;
    // Something the screen says once while the recording goes on.
    TScreenNoticeHandler OnScreenNotice;

private:
    TRecordOptions FOptions;
    TQtMainThreadInvoker FInvoker;
    QObject* FMainThread;
    void StopSound();
    void SoundWriteFailed(int errorNumber);
    void EndRecording();
    // Splits the recording into files of the length asked for.
    void SetUpSegments();

    std::unique_ptr<TRecordThread> FThread;
    std::unique_ptr<TWavRecord> FWavRecord;
    std::unique_ptr<TX11AreaOutline> FOutline;
    int FWidth = 0;
    int FHeight = 0;
    std::string FWavFileName;
    std::string FAviFileName;
    int FSegmentCounter = 1;
    std::optional<TRecordError> FError;
    bool FEnded = false;
    bool FTransparentRecordedAnyway = false;
    TScreenBackend FScreenBackend = TScreenBackend::X11;
    bool FDiskFull = false;
    bool FVideoIncomplete = false;
    bool FSoundKept = false;
    std::int32_t FFinalFrames = 0;
    std::int64_t FFinalMs = 0;
};

} // namespace vardocle
