#include "engine/RecordThread.h"

#include "engine/CursorDraw.h"

#include "platform/base/Errors.h"

#include <algorithm>
#include <exception>
#include <optional>

namespace vardocle {

bool TRecordError::DiskFull() const {
    return IsDiskFullError(ErrorNumber);
}

TRecordThread::TRecordThread(std::string AviFileName, TRect FrameRect, std::string WavFileName,
                             std::uint8_t FrameRate, std::unique_ptr<IScreen> Screen,
                             IMainThreadInvoker& MainThread, std::unique_ptr<IRecordClock> Clock)
    : FWriter(std::make_unique<TAviWriter>()), FFrameRate(FrameRate),
      FAviFileName(std::move(AviFileName)), FFrameRect(FrameRect), FScreen(std::move(Screen)),
      // A rate of 0 is never passed; it is read as 1 rather than divided by.
      FFrameInterval(1000 / std::max<int>(FrameRate, 1)), FWavFileName(std::move(WavFileName)),
      FMainThread(MainThread), FClock(std::move(Clock)) {}

TRecordThread::~TRecordThread() {
    Terminate();
    WaitFor();
}

void TRecordThread::Resume() {
    std::lock_guard guard(FLock);
    if (!FStarted) {
        FStarted = true;
        FThread = std::thread([this] { Execute(); });
        return;
    }
    if (FPaused) {
        FPaused = false;
        // The first frame after a pause is taken whatever changed.
        FGrabNext = true;
        if (FLoopStarted)
            FPausedTotal += FClock->NowMs() - FPauseStarted;
        FWake.notify_all();
    }
}

void TRecordThread::Suspend() {
    std::lock_guard guard(FLock);
    // Once the recording's time has ended there is nothing left to pause.
    if (!FPaused && FEndTime < 0) {
        FPaused = true;
        FPauseStarted = FClock->NowMs();
        FWake.notify_all();
    }
}

void TRecordThread::Terminate() {
    std::lock_guard guard(FLock);
    FTerminated = true;
    FWake.notify_all();
}

void TRecordThread::WaitFor() {
    if (FThread.joinable() && FThread.get_id() != std::this_thread::get_id())
        FThread.join();
}

bool TRecordThread::Paused() const {
    std::lock_guard guard(FLock);
    return FPaused;
}

std::int64_t TRecordThread::ElapsedLocked(std::int64_t now) const {
    if (!FLoopStarted)
        return 0;
    if (FEndTime >= 0)
        now = FEndTime;
    std::int64_t paused = FPausedTotal;
    if (FPaused)
        paused += now - std::max(FPauseStarted, FStartTime);
    return std::max<std::int64_t>(0, now - FStartTime - paused);
}

std::int64_t TRecordThread::RecordedMs() const {
    std::lock_guard guard(FLock);
    return ElapsedLocked(FClock->NowMs());
}

std::int64_t TRecordThread::SlotStart(std::int64_t slot) const {
    return slot * 1000 / std::max<int>(FFrameRate, 1);
}

// The last slot that has started `elapsed` ms into the recording.
std::int64_t TRecordThread::SlotAt(std::int64_t elapsed) const {
    const int rate = std::max<int>(FFrameRate, 1);
    return ((elapsed + 1) * rate - 1) / 1000;
}

bool TRecordThread::BeginNextSegment(std::int64_t boundary, std::int64_t moment) {
    auto writer = std::make_unique<TAviWriter>();
    TSegmentFiles finished{FAviFileName, FWavFileName};
    std::shared_future<double> soundDone;
    bool opened = false;
    std::string error;
    try {
        FMainThread.Invoke([&] {
            const TSegmentFiles next = OnNextSegment(*this);
            opened = writer->Open(next.AviFileName,
                                  static_cast<std::uint16_t>(FFrameRect.Right - FFrameRect.Left),
                                  static_cast<std::uint16_t>(FFrameRect.Bottom - FFrameRect.Top),
                                  FFrameRate, next.WavFileName);
            if (!opened) {
                error = writer->LastError();
                return;
            }
            FAviFileName = next.AviFileName;
            FWavFileName = next.WavFileName;
            if (OnSegmentBegun)
                soundDone = OnSegmentBegun(*this, moment);
        });
    } catch (const std::exception& raised) {
        error = raised.what();
    }
    if (!opened) {
        Report(TRecordError::TStage::Frame, error, writer->LastErrorNumber());
        return false;
    }
    const auto slots = static_cast<std::int32_t>(boundary - FSegmentFirstSlot);
    const std::int64_t duration = SlotStart(boundary) - SlotStart(FSegmentFirstSlot);
    FClosers.emplace_back(
        [this, done = std::move(FWriter), finished, soundDone, slots, duration]() mutable {
            TSegmentEnd end{finished.AviFileName, finished.WavFileName, {}, 0, false, false, false};
            try {
                // The sound file is complete once the sound has passed the boundary.
                const double ratio = soundDone.valid() ? soundDone.get() : 0.0;
                done->SkipFramesTo(slots);
                done->SetRecordedDuration(duration);
                done->SetSoundClockRatio(ratio);
                if (!done->Close()) {
                    end.Error = done->LastError();
                    end.ErrorNumber = done->LastErrorNumber();
                }
            } catch (const std::exception& raised) {
                end.Error = raised.what();
            }
            end.DiskFull = done->DiskFull();
            end.VideoIncomplete = done->VideoIncomplete();
            end.SoundKept = done->SoundKept();
            done.reset();
            FMainThread.Post([this, end] {
                if (OnSegmentEnd)
                    OnSegmentEnd(*this, end);
            });
        });
    FWriter = std::move(writer);
    FSegmentFirstSlot = boundary;
    FGrabNext = true;
    FRefinesLeft = 0;
    return true;
}

void TRecordThread::Report(TRecordError::TStage stage, const std::string& message,
                           int errorNumber) {
    // Every failure carries a reason the user can read.
    TRecordError error{stage, message.empty() ? std::string("Unknown error") : message,
                       errorNumber};
    FMainThread.Post([this, error = std::move(error)] {
        if (OnRecordError)
            OnRecordError(*this, error);
    });
}

void TRecordThread::Execute() {
    bool opened = false;
    std::string error;
    int errorNumber = 0;
    try {
        FMainThread.Invoke([&] {
            FScreen->SetCaptureTransparent(FRecordTransparent);
            FScreen->SetCaptureCursor(FRecordCursor);
            opened = FWriter->Open(FAviFileName,
                                   static_cast<std::uint16_t>(FFrameRect.Right - FFrameRect.Left),
                                   static_cast<std::uint16_t>(FFrameRect.Bottom - FFrameRect.Top),
                                   FFrameRate, FWavFileName);
            if (!opened) {
                error = FWriter->LastError();
                errorNumber = FWriter->LastErrorNumber();
            }
        });
    } catch (const std::exception& raised) {
        error = raised.what();
    }
    if (opened) {
        FMainThread.Post([this] {
            if (OnRecordStart)
                OnRecordStart(*this);
        });
        Loop();
    } else {
        Report(TRecordError::TStage::Open, error, errorNumber);
    }

    // End of the recording. No frame is taken any more, so the screen goes,
    // and the writer is this thread's alone: the file is completed and the
    // sound merged here, not on the main thread.
    FScreen.reset();
    FSavingProgress = 0;
    try {
        // Slots that passed with nothing new on the screen still count.
        if (opened)
            FWriter->SkipFramesTo(static_cast<std::int32_t>(FSlotsPassed - FSegmentFirstSlot));
        FWriter->SetRecordedDuration(RecordedMs() - SlotStart(FSegmentFirstSlot));
        FWriter->SetSoundClockRatio(FSoundClockRatio);
        FWriter->SetCloseProgress(&FSavingProgress);
        errorNumber = 0;
        if (!FWriter->Close()) {
            error = FWriter->LastError();
            errorNumber = FWriter->LastErrorNumber();
        } else {
            error.clear();
        }
    } catch (const std::exception& raised) {
        error = raised.what();
    }
    FDiskFull = FWriter->DiskFull();
    FVideoIncomplete = opened && FWriter->VideoIncomplete();
    FSoundKept = FWriter->SoundKept();
    if (opened && !error.empty())
        Report(TRecordError::TStage::Close, error, errorNumber);
    FWriter.reset();
    // Every file is complete before the recording says it ended.
    for (std::thread& closer : FClosers)
        closer.join();
    FClosers.clear();
    FSavingProgress = 100;
    FFinished = true;
    FMainThread.Post([this] {
        if (OnRecordEnd)
            OnRecordEnd(*this);
    });
}

void TRecordThread::Loop() {
    std::unique_lock lock(FLock);
    FStartTime = FClock->NowMs();
    FRecordStart->Set(std::chrono::steady_clock::time_point(std::chrono::milliseconds(FStartTime)));
    FLoopStarted = true;
    if (FPaused)
        FPauseStarted = FStartTime;
    std::int64_t nextSlot = 0;
    while (!FTerminated) {
        if (FPaused) {
            FClock->WaitUntil(lock, FWake, IRecordClock::kForever);
            continue;
        }
        const std::int64_t now = FClock->NowMs();
        const std::int64_t due = FStartTime + FPausedTotal + SlotStart(nextSlot);
        if (now < due) {
            FClock->WaitUntil(lock, FWake, due);
            continue;
        }
        const std::int64_t slot = std::max(nextSlot, SlotAt(ElapsedLocked(now)));
        const std::int64_t boundary = FSegmentFirstSlot + FSegmentSlots;
        const std::int64_t moment = FStartTime + FPausedTotal + SlotStart(boundary);
        lock.unlock();
        // The next file begins at the slot the part ends at, even when the
        // capture came late: the slots passed over repeat in the next file.
        const bool captured =
            (FSegmentSlots <= 0 || slot < boundary || BeginNextSegment(boundary, moment)) &&
            CaptureFrame(slot);
        lock.lock();
        nextSlot = slot + 1;
        // A screen gone before this slot's picture ends the video before it.
        FSlotsPassed = FScreenGone ? slot : nextSlot;
        if (!captured) {
            // The recording's time ends here; the file is completed once the
            // owner has stopped the sound.
            FEndTime = FClock->NowMs();
            FCaptureFailed = !FScreenGone;
            while (!FTerminated)
                FClock->WaitUntil(lock, FWake, IRecordClock::kForever);
            return;
        }
    }
    FEndTime = FClock->NowMs();
}

bool TRecordThread::CaptureFrame(std::int64_t slot) {
    std::string error;
    int errorNumber = 0;
    bool written = false;
    bool grabbed = false;
    bool empty = false;
    const bool grabAnyway = FGrabNext.exchange(false) || FLastGrabSlot < 0 ||
                            slot - FLastGrabSlot >= kFullFrameEverySeconds * FFrameRate;
    std::optional<std::string> gone;
    try {
        FMainThread.Invoke([&] {
            // Slots passed over play the frame before them.
            FWriter->SkipFramesTo(static_cast<std::int32_t>(slot - FSegmentFirstSlot));
            const TScreenChanges changes = FScreen->TakeChanges();
            // Nothing changed: the slot repeats the frame before it, at no
            // cost. A whole frame is still taken now and then, in case a
            // change went unnoticed.
            const auto repeatLast = [&] {
                // The first slots after a change compress the same picture
                // again: the encoder sharpens what it kept of it, as it would
                // had every slot been taken.
                if (FRefinesLeft > 0) {
                    --FRefinesLeft;
                    written = FWriter->RefineLastFrame();
                } else {
                    // The slots before this one reach the disk as repeats, so
                    // a killed recording keeps its time; this one stays open
                    // for the last frame.
                    written = FWriter->KeepTimeOnDisk();
                }
                if (!written)
                    error = FWriter->LastError();
            };
            if (!grabAnyway && !changes.Picture && !(FRecordCursor && changes.Cursor)) {
                repeatLast();
                return;
            }
            if (grabAnyway)
                FScreen->GrabWholeNext();
            TScreenGrab grab = FScreen->Grab();
            // No picture yet: the slot stays empty, which is no failure.
            if (!grab.Pixels) {
                empty = true;
                return;
            }
            if (FRecordCursor) {
                const TScreenRect drawn = DrawCursor(grab, FScreen->Cursor());
                if (!drawn.Empty()) {
                    grab.Changed.AddArea(drawn.X, drawn.Y, drawn.Width, drawn.Height);
                    FScreen->DrawnOver(drawn);
                }
            }
            // Drawn on, but every pixel read again is as it was (an animation
            // drawing around the area through a clip the server reports whole).
            FScreen->LeaveOnlyDiffering(grab);
            if (grab.Changed.Empty()) {
                repeatLast();
                return;
            }
            FRefinesLeft = kRefinesAfterChange;
            const TFrameBitmap bitmap{grab.Image(), FFrameRect.Right - FFrameRect.Left,
                                      FFrameRect.Bottom - FFrameRect.Top};
            grabbed = true;
            written = FWriter->WriteFrame(bitmap);
            if (!written)
                error = FWriter->LastError();
        });
    } catch (const EScreenGone& raised) {
        gone = raised.what();
    } catch (const std::exception& raised) {
        error = raised.what();
    }
    if (gone) {
        // Not a failure: the recording ends here as Stop ends it, the owner
        // stopping the sound first.
        FScreenGone = true;
        FMainThread.Post([this, reason = *gone] {
            if (OnScreenGone)
                OnScreenGone(*this, reason);
        });
        return false;
    }
    if (empty)
        return true;
    if (written) {
        if (grabbed) {
            FLastGrabSlot = slot;
            ++FFramesWritten;
        }
        return true;
    }
    errorNumber = FWriter->LastErrorNumber();
    Report(TRecordError::TStage::Frame, error, errorNumber);
    return false;
}

} // namespace vardocle
