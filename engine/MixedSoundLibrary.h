#pragma once
// The recording API over several timed sources mixed into one track (what
// the computer plays together with the microphone): to the audio recorder it
// is one device with one input, whose blocks are the mixed track. A source
// whose server goes away is silence from then on and is opened again every
// few seconds; the recording goes on either way.
#include "engine/SilenceWatch.h"
#include "engine/SoundChoice.h"
#include "engine/SoundMixer.h"
#include "platform/sound/SoundLibrary.h"
#include "platform/sound/TimedCapture.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace vardocle {

// Opens one source; empty when it cannot be had now.
using TTimedCaptureFactory = std::function<std::unique_ptr<ITimedCapture>()>;
// The steady clock in nanoseconds (a test's own clock in the tests).
using TNanoClock = std::function<std::int64_t()>;

class TMixedSoundLibrary final : public TSoundLibrary {
public:
    // Levels: one per source, 1 for as captured.
    TMixedSoundLibrary(std::vector<TTimedCaptureFactory> Sources, std::vector<float> Levels,
                       TNanoClock Clock = {});
    ~TMixedSoundLibrary() override;
    TMixedSoundLibrary(const TMixedSoundLibrary&) = delete;
    TMixedSoundLibrary& operator=(const TMixedSoundLibrary&) = delete;

    // Told on the mixing thread when a source stops delivering (Lost true)
    // and when it delivers again.
    std::function<void(int Source, bool Lost)> OnSourceChanged;
    // Told on the source's thread when Source (the microphone) gave nothing
    // but digital silence for the first Seconds of a recording.
    void WatchForSilence(int Source, double Seconds, std::function<void()> OnSilent);

    std::uint32_t GetVersion() override { return kSoundLibraryVersion; }
    bool Init(int, std::uint32_t) override { return true; }
    bool Free() override { return true; }
    bool RecordInit(int) override { return true; }
    bool RecordFree() override { return true; }
    std::optional<std::string> RecordGetInputName(int Input) override;
    std::int32_t RecordGetInput(int Input, float* Volume) override;
    bool RecordSetInput(int Input, std::uint32_t Flags, float Volume) override;
    std::uint32_t RecordStart(std::uint32_t Frequency, std::uint32_t Channels, std::uint32_t Flags,
                              TRecordProc Proc, void* User) override;
    bool ChannelIsActive(std::uint32_t Handle) override;
    bool ChannelStop(std::uint32_t Handle) override;
    std::uint32_t ChannelGetOverruns(std::uint32_t) override { return 0; }
    // The mixed track is on the recording's clock: a block ends exactly
    // where the frames mixed so far reach.
    std::optional<std::chrono::steady_clock::time_point>
    ChannelBlockEnd(std::uint32_t Handle) override;

    // How long the mixer waits for the sources' blocks before it mixes a
    // moment: longer than any source's own delivery delay.
    static constexpr std::chrono::milliseconds kWait{300};
    // How often the mixed track is handed on.
    static constexpr std::chrono::milliseconds kPeriod{50};

private:
    struct TSource {
        TTimedCaptureFactory Open;
        std::unique_ptr<ITimedCapture> Capture;
        std::int64_t NextTryNs = 0;
        std::atomic<std::int64_t> LastBlockNs{0};
        bool ToldLost = false;
        double SilenceSeconds = 0; // 0: not watched
        std::function<void()> OnSilent;
        std::unique_ptr<TSilenceWatch> Silence;
    };
    void Run(TRecordProc Proc, void* User);
    void KeepSourcesOpen(std::int64_t NowNs);
    void OpenSource(int Index);
    void CloseSources();

    std::vector<std::unique_ptr<TSource>> FSources;
    std::vector<float> FLevels;
    TNanoClock FClock;
    std::unique_ptr<TSoundMixer> FMixer;
    std::thread FThread;
    std::mutex FLock;
    std::condition_variable FWake;
    bool FStopRequested = false;
    std::int64_t FStopNs = 0;
    std::atomic<bool> FRunning{false};
    std::uint32_t FHandle = 0;
    std::int64_t FStartNs = 0;
    std::atomic<std::int64_t> FBlockEndNs{0};
};

// The sound library for a choice of what to record: the microphone through
// the system's library, or what the computer plays (alone or with the
// microphone) mixed from the sound server. Empty with the reason (Chinese)
// when the sound server cannot be reached. OnNotice (on the mixing thread)
// tells, in Chinese and English, when a source stops delivering and when it
// is back.
struct TSoundLevels {
    float Microphone = 1.0F;
    float System = 1.0F;
};
// What the user is told of a microphone muted from the start.
inline constexpr const char* kMutedMicrophoneNotice =
    "麦克风录制开始后 10 秒内没有任何声音，可能被静音了，请检查麦克风";
std::shared_ptr<TSoundLibrary> CreateSoundLibraryFor(
    TSoundChoice Choice, std::string& WhyNot, TSoundLevels Levels = {},
    std::function<void(const std::string& Chinese, const std::string& English)> OnNotice = {});

} // namespace vardocle
