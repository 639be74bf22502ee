#pragma once
// Paces one recording. The capture thread keeps time; opening the file and
// every frame (grab, cursor, append) run on the main thread while the capture
// thread waits. Completing the file and merging the sound, which can take
// seconds for a long recording, run on the capture thread itself, so the
// window goes on painting and answering meanwhile.
//
// The owner's handlers (OnRecordStart, OnRecordError, OnRecordEnd) are queued
// for the main thread, never called while the capture thread waits for it:
// a handler may show a modal box without holding up the recording.
//
// Frame n belongs to the slot that starts n × 1000 / FrameRate ms after the
// recording started, paused time excluded. Slots that passed while a capture
// ran late, and slots in which the screen did not change, repeat the frame
// before them, so the video lasts as long as the recording did.
#include "engine/AviWriter.h"
#include "engine/MainThreadInvoker.h"
#include "engine/RecordClock.h"
#include "platform/avifile/MiniVFW.h"
#include "platform/screen/Screen.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vardocle {

struct TRecordError {
    enum class TStage { Open, Frame, Close };
    TStage Stage;
    std::string Message;
    int ErrorNumber = 0; // the system's errno behind it, 0 when none
    // The disk had no room (see IsDiskFullError).
    bool DiskFull() const;
};

// The files of the next part of a recording split into several files.
struct TSegmentFiles {
    std::string AviFileName;
    std::string WavFileName; // empty without sound
};

// How a finished part's file ended, told once it is complete.
struct TSegmentEnd {
    std::string AviFileName;
    std::string WavFileName;
    std::string Error; // empty when complete
    int ErrorNumber = 0;
    bool DiskFull = false;
    bool VideoIncomplete = false;
    bool SoundKept = false;
};

class TRecordThread {
public:
    using TNotifyEvent = std::function<void(TRecordThread& Sender)>;
    using TErrorEvent = std::function<void(TRecordThread& Sender, const TRecordError& Error)>;
    using TReasonEvent = std::function<void(TRecordThread& Sender, const std::string& Reason)>;

    // Created suspended: nothing happens, on disk or on screen, until Resume.
    TRecordThread(std::string AviFileName, TRect FrameRect, std::string WavFileName,
                  std::uint8_t FrameRate, std::unique_ptr<IScreen> Screen,
                  IMainThreadInvoker& MainThread,
                  std::unique_ptr<IRecordClock> Clock = std::make_unique<TSteadyClock>());
    // Ends a recording that is still running. Call it once OnRecordEnd was
    // raised (or before the first Resume), never from inside a handed-over step.
    ~TRecordThread();
    TRecordThread(const TRecordThread&) = delete;
    TRecordThread& operator=(const TRecordThread&) = delete;

    void SetRecordCursor(bool Value) { FRecordCursor = Value; }
    void SetRecordTransparent(bool Value) { FRecordTransparent = Value; }
    // Handed to the writer for the sound merge (see TAviWriter); set on the
    // main thread before Terminate.
    void SetSoundClockRatio(double Ratio) { FSoundClockRatio = Ratio; }

    // Every this many slots of recorded time (pauses excluded) the recording
    // goes on in a new file; 0 (the default) keeps one file. Set before Resume.
    void SetSegmentSlots(std::int64_t Slots) { FSegmentSlots = Slots; }
    // Asked on the main thread when a part is full: the files of the next
    // part. Needed when segments are set.
    std::function<TSegmentFiles(TRecordThread& Sender)> OnNextSegment;
    // Told on the main thread once the next part's file is open, with the
    // moment (steady clock, ms) its first slot begins: the sound goes on in
    // the next part's sound file from that moment. The future is ready with
    // the sound card's clock ratio once the finished part's sound file is
    // complete (an empty future when there is no sound).
    std::function<std::shared_future<double>(TRecordThread& Sender, std::int64_t MomentMs)>
        OnSegmentBegun;
    // Posted to the main thread once a finished part's file is complete,
    // before OnRecordEnd. The next part records meanwhile.
    std::function<void(TRecordThread& Sender, const TSegmentEnd& End)> OnSegmentEnd;

    // The first Resume starts the recording; later ones end a pause.
    void Resume();
    // Pauses at the next safe point; a frame already handed over is finished.
    void Suspend();
    // Ends the recording: the loop stops at its next check, also when paused.
    void Terminate();
    // Blocks until the capture thread has ended (not from the main thread
    // while a recording still needs it).
    void WaitFor();

    // Raised on the main thread once the file exists and frames will follow.
    TNotifyEvent OnRecordStart;
    // Raised once on the main thread when the file is complete.
    TNotifyEvent OnRecordEnd;
    // Raised on the main thread when the recording cannot go on or the file
    // cannot be completed. When the file could not be created (Open), the
    // thread ends by itself and OnRecordEnd follows. When a frame could not
    // be written (Frame), capturing stops and the thread waits for the owner
    // to end the recording as for Stop (sound first, then Terminate), so that
    // no sound still buffered is lost before the merge.
    TErrorEvent OnRecordError;
    // Raised once on the main thread when the screen has nothing more to
    // show (it raised EScreenGone: the recorded window was closed). As after
    // a failed frame, capturing has stopped and the thread waits to be ended
    // as for Stop; the file is complete then. No error: the reason, in
    // Chinese, is for the user.
    TReasonEvent OnScreenGone;

    std::uint8_t FrameRate() const { return FFrameRate; }
    std::int64_t FrameInterval() const { return FFrameInterval; }
    const TRect& FrameRect() const { return FFrameRect; }
    const std::string& AviFileName() const { return FAviFileName; }
    const std::string& WavFileName() const { return FWavFileName; }
    bool RecordCursor() const { return FRecordCursor; }
    bool RecordTransparent() const { return FRecordTransparent; }
    bool Paused() const;
    bool Terminated() const { return FTerminated; }
    bool Finished() const { return FFinished; }
    // Frames captured so far (slots repeated for late captures not counted).
    std::int32_t FramesWritten() const { return FFramesWritten; }
    // Wall-clock length of the recording so far, pauses excluded.
    std::int64_t RecordedMs() const;
    // Set once the first frame's slot begins, in the thread's clock (the
    // steady clock unless a test gave another); the sound lines up with it.
    std::shared_ptr<const TRecordStart> RecordStart() const { return FRecordStart; }
    // While the file is being completed (after Terminate), how far it has
    // come, 0-100; -1 before. Stays at 100 once finished.
    int SavingProgress() const { return FSavingProgress; }
    bool Saving() const { return FSavingProgress >= 0 && !FFinished; }
    // True once a frame could not be written: nothing more is captured.
    bool CaptureFailed() const { return FCaptureFailed; }
    // True once the screen said it has nothing more to show.
    bool ScreenGone() const { return FScreenGone; }
    // Once finished: the disk was full at some point of the recording or its
    // saving; the file's ending could not be written; the sound was not
    // merged and its file stays.
    bool DiskFull() const { return FDiskFull; }
    bool VideoIncomplete() const { return FVideoIncomplete; }
    bool SoundKept() const { return FSoundKept; }

private:
    void Execute();
    void Loop();
    bool CaptureFrame(std::int64_t slot);
    // Opens the next part's file at slot `boundary` and hands the finished
    // part to a thread of its own to complete. False when the file could not
    // be opened (reported; the recording stops as for a failed frame).
    bool BeginNextSegment(std::int64_t boundary, std::int64_t moment);
    void Report(TRecordError::TStage stage, const std::string& message, int errorNumber);
    std::int64_t SlotStart(std::int64_t slot) const;
    std::int64_t SlotAt(std::int64_t elapsed) const;
    std::int64_t ElapsedLocked(std::int64_t now) const;

    std::unique_ptr<TAviWriter> FWriter;
    std::uint8_t FFrameRate;
    std::string FAviFileName;
    TRect FFrameRect;
    std::unique_ptr<IScreen> FScreen;
    std::int64_t FFrameInterval;
    std::string FWavFileName;
    bool FRecordTransparent = false;
    bool FRecordCursor = false;
    double FSoundClockRatio = 0;

    IMainThreadInvoker& FMainThread;
    std::unique_ptr<IRecordClock> FClock;
    std::thread FThread;
    mutable std::mutex FLock;
    std::condition_variable FWake;
    bool FStarted = false;
    bool FPaused = false;
    bool FLoopStarted = false;
    std::atomic<bool> FTerminated{false};
    std::atomic<bool> FFinished{false};
    std::atomic<std::int32_t> FFramesWritten{0};
    std::atomic<int> FSavingProgress{-1};
    // A whole frame at least this often, whatever the screen says changed.
    static constexpr std::int64_t kFullFrameEverySeconds = 10;
    std::int64_t FLastGrabSlot = -1;
    // Slots after a change that compress the picture again, not grabbed.
    static constexpr int kRefinesAfterChange = 4;
    int FRefinesLeft = 0;
    std::int64_t FSlotsPassed = 0;
    std::atomic<bool> FGrabNext{false};
    std::atomic<bool> FCaptureFailed{false};
    std::atomic<bool> FScreenGone{false};
    std::atomic<bool> FDiskFull{false};
    std::atomic<bool> FVideoIncomplete{false};
    std::atomic<bool> FSoundKept{false};
    std::int64_t FStartTime = 0;
    std::shared_ptr<TRecordStart> FRecordStart = std::make_shared<TRecordStart>();
    std::int64_t FPauseStarted = 0;
    std::int64_t FPausedTotal = 0;
    std::int64_t FEndTime = -1;
    std::int64_t FSegmentSlots = 0;
    // The first slot of the part being written.
    std::int64_t FSegmentFirstSlot = 0;
    // Finished parts being completed.
    std::vector<std::thread> FClosers;
};

} // namespace vardocle
