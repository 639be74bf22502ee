#pragma once
// Records the default recording device into a WAV file (PCM, 16-bit stereo,
// 44100 Hz) while a recording with sound runs. The sound library delivers
// blocks on its own thread to RecordCallback, which appends them through a
// buffered stream, handed to the disk every half second.
#include "engine/RecordClock.h"
#include "engine/SilenceWatch.h"
#include "engine/WavOutput.h"
#include "platform/sound/SoundLibrary.h"

#include <array>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace vardocle {

inline constexpr std::uint32_t kWavSampleRate = 44100;
inline constexpr std::uint32_t kWavChannels = 2;
inline constexpr std::uint32_t kWavBlockAlign = 4; // one 16-bit stereo frame
inline constexpr std::uint32_t kWavBytesPerSecond = kWavSampleRate * kWavBlockAlign;
inline constexpr std::int64_t kWavHeaderSize = 44;
// The format sets no limit: past 4 GiB the file becomes RF64 at Stop (see
// platform/avifile/WavLayout.h). A file system's own limit is a failed write.
inline constexpr std::int64_t kWavFileSizeLimit = INT64_MAX;

// The header as written at Start: RIFF size 36 and data size 0, patched at Stop.
std::array<std::uint8_t, kWavHeaderSize> MakeWavHeader();

// What went wrong with the sound of a recording; the video is not affected.
enum class TSoundProblem {
    NoDevice,    // no usable recording device: the recording has no sound
    DeviceLost,  // the device went away: the sound ends there
    WriteFailed, // the disk refused the sound: it ends at the failure
    SizeLimit,   // the WAV file is full: the rest of the sound was cut
};
// The message shown to the user (Chinese); ErrorNumber adds the system's text.
std::string SoundProblemMessage(TSoundProblem Problem, int ErrorNumber = 0);

using TSoundProblemEvent = std::function<void(TSoundProblem Problem, const std::string& Message)>;
using TSoundClock = std::function<std::chrono::steady_clock::time_point()>;
// Makes the stream the file is written through (a buffered file stream by
// default); raises EFCreateError when the file cannot be created.
using TWavOutputFactory =
    std::function<std::unique_ptr<IWavOutput>(const std::string& Path, std::int32_t BufferSize)>;

class TWavRecord {
public:
    // Prepares the system's sound library and selects the input; raises nothing.
    TWavRecord();
    // The same on a given library; Clock times the blocks (steady clock when empty).
    explicit TWavRecord(std::shared_ptr<TSoundLibrary> Library, TSoundClock Clock = {});
    // Stops, then releases the recording device and the library.
    ~TWavRecord();
    TWavRecord(const TWavRecord&) = delete;
    TWavRecord& operator=(const TWavRecord&) = delete;

    // The recording's start, set by its capture thread: sound taken before
    // it is dropped, and a device whose first block comes late has silence
    // put before it, so that the sound plays in step with the frames. Given
    // before Start; without it the sound begins with its first block.
    void LineUpWith(std::shared_ptr<const TRecordStart> Start) { FRecordStart = std::move(Start); }
    // Creates the WAV file and writes its header to the disk, then starts
    // recording. EFCreateError when the file cannot be created or its header
    // not written (a full disk); the file is then removed. Ignored while a
    // recording runs.
    void Start(const std::string& WavFileName, std::int32_t BufferSize);
    // While paused, arriving sound is dropped, from the moment of the call
    // to the moment of Resume.
    void Pause();
    void Resume();
    // Goes on in a new file from the sound taken at Moment: the sound before
    // it completes the current file, the sound after it begins NextFileName,
    // so that the two files played one after the other hold the device's
    // sound without a gap or a repeat. Any thread may ask; the cut is made
    // on the library's thread once sound of Moment arrives (at once when no
    // device records, or when Moment has passed). The future is ready with
    // the card's clock ratio (see ClockRatio) once the earlier file is
    // complete, also when Stop comes first.
    std::shared_future<double> SplitAt(std::chrono::steady_clock::time_point Moment,
                                       const std::string& NextFileName);
    // Stops recording and completes the file's header. Problems met during
    // the recording are reported through OnProblem after the file is complete.
    void Stop();
    // Makes input Index the only input of the device that is on.
    void SelectInput(int Index);
    // The handler of each block, on the library's thread; always true.
    bool RecordCallback(std::uint32_t Handle, const void* Buffer, std::uint32_t Length, void* User);

    bool Recording() const { return FRecording; }
    bool Paused() const { return FPaused; }
    int CurrentInput() const { return FCurrentInput; }
    std::uint32_t Channel() const { return FChannel; }
    const std::string& WavFileName() const { return FWavFileName; }
    std::uint32_t Overruns() const;

    // The wall-clock time the kept blocks cover, pauses excluded, and how many
    // bytes of sound those blocks hold. Their ratio is the device's real rate,
    // which the merge uses to keep the sound in step with the video. Valid
    // after Stop.
    std::chrono::microseconds CoveredTime() const;
    std::int64_t CoveredBytes() const;
    // Wall-clock seconds per second of recorded sound (slightly above 1 for
    // a slow card, below for a fast one); 0 when no sound arrived.
    double ClockRatio() const;

    // Told on the owner's thread: at Start when no device is usable (once),
    // and at Stop about a lost device, a failed write or a cut.
    TSoundProblemEvent OnProblem;
    // Told once, on the library's thread, at the first write the disk
    // refuses: the sound ends there, and the owner should end the recording
    // (from its own thread) so that its video ends with it.
    std::function<void(int ErrorNumber)> OnWriteFailed;
    // Told once, on the library's thread, when the device gave nothing but
    // digital silence for the first ten seconds of a recording (a muted
    // microphone). Set before Start; a mix of sources watches its own.
    std::function<void()> OnSilentStart;
    // Lowered by tests to reach the limit without gigabytes of sound.
    void SetFileSizeLimit(std::int64_t Limit) { FFileSizeLimit = Limit; }
    // Where the file is written; a buffered file stream when not set.
    void SetOutputFactory(TWavOutputFactory Factory) { FOutputFactory = std::move(Factory); }

private:
    static bool RecordProc(std::uint32_t Handle, const void* Buffer, std::uint32_t Length,
                           void* User);
    // Takes a block whose last sample was taken at End: lines it up with the
    // recording's start, cuts it at a pause and appends what belongs.
    void TakeBlock(std::chrono::steady_clock::time_point End, const std::uint8_t* Bytes,
                   std::uint32_t Length);
    // Appends silence for the time the device missed at the start.
    void PadSilence(std::chrono::steady_clock::duration Missing);
    // Appends a piece of a block that ended at End, cut where a split is due.
    void Append(std::chrono::steady_clock::time_point End, const std::uint8_t* Data,
                std::uint32_t Length);
    void AppendPiece(std::chrono::steady_clock::time_point End, const std::uint8_t* Data,
                     std::uint32_t Length);
    // Hands the buffered sound to the disk when the flush interval has passed.
    void FlushIfDue(std::chrono::steady_clock::time_point Now);
    void NoteBlock(std::chrono::steady_clock::time_point Arrival, std::uint32_t Length,
                   std::int64_t Kept);
    void CloseSegment();
    double SegmentSeconds() const;
    void CompleteFile();
    // Makes a pending split whose moment falls inside the piece of sound
    // ending at End: the bytes before it go to the current file. Returns the
    // bytes taken for the current file (Length when no split is due).
    std::uint32_t BytesBeforeSplit(std::chrono::steady_clock::time_point End, std::uint32_t Length);
    // Completes the current file and opens the one the first pending split names.
    void SwitchFile();
    // Creates a file with its header on the disk; raises EFCreateError.
    std::unique_ptr<IWavOutput> CreateFile(const std::string& FileName) const;
    // Rewrites the header of a file of Size bytes as RF64 in place.
    void SwitchToRf64(std::int64_t Size);
    // False once a write failed: nothing more is appended, and the owner is told.
    bool StillWriting();
    void Report(TSoundProblem Problem, int ErrorNumber = 0);

    std::shared_ptr<TSoundLibrary> FLibrary;
    TSoundClock FClock;
    bool FLibraryReady = false;
    bool FNoDeviceReported = false;

    TWavOutputFactory FOutputFactory;
    std::unique_ptr<IWavOutput> FWavStream;
    std::uint32_t FChannel = 0;
    bool FRecording = false;
    std::atomic<bool> FPaused{false};
    // When the last pause began and ended (clock ticks), for the callback.
    std::atomic<std::int64_t> FPauseAt{kNever};
    std::atomic<std::int64_t> FResumeAt{kNever};
    static constexpr std::int64_t kNever = INT64_MIN;
    std::string FWavFileName;
    int FCurrentInput = -1;
    std::int64_t FFileSizeLimit = kWavFileSizeLimit;

    // Used by the callback between the library's start and stop calls, by
    // the owner's thread before and after (the same hand-over as the stream).
    bool FAppendStopped = false;
    std::shared_ptr<const TRecordStart> FRecordStart;
    bool FLinedUp = false;
    std::unique_ptr<TSilenceWatch> FSilence;
    // Longer than any device takes to start; beyond it the clock is wrong.
    static constexpr std::chrono::seconds kMaxLineUp{30};
    bool FSoundCut = false;
    bool FWriteFailureTold = false;
    // The sound reaches the disk at least this often, so that a recording
    // that is killed loses no more than that and the block in the device;
    // the buffer still saves the disk from a write per block. Blocks of
    // 0.1 s that come a little early still flush at every fifth.
    static constexpr std::chrono::milliseconds kFlushInterval{500};
    static constexpr std::chrono::milliseconds kFlushEarly{50};
    std::chrono::steady_clock::time_point FLastFlush;
    // A stretch of blocks without a pause. Its wall-clock time is measured
    // against its sound: in every window of sound the earliest arrival
    // (relative to the sound's own time) is kept, since late arrivals only
    // show the system's delays, and the line through those points gives how
    // fast the card's clock runs.
    struct TClockPoint {
        double SoundSeconds; // sound recorded up to this block
        double Offset;       // the block's arrival minus SoundSeconds
    };
    bool FSegmentOpen = false;
    std::chrono::steady_clock::time_point FSegmentStart;
    std::int64_t FSegmentBytes = 0;
    std::vector<TClockPoint> FClockPoints;
    std::chrono::microseconds FClosedTime{0};
    std::int64_t FClosedBytes = 0;
    std::int32_t FBufferSize = 0;

    // A split asked for and not yet made (see SplitAt).
    struct TSplit {
        std::chrono::steady_clock::time_point Moment;
        std::string NextFileName;
        std::promise<double> Done;
    };
    std::mutex FSplitLock;
    std::deque<TSplit> FSplits;
    std::atomic<bool> FSplitPending{false};
};

} // namespace vardocle
