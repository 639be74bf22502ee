#include "engine/MixedSoundLibrary.h"

namespace vardocle {

namespace {

constexpr std::int64_t kMs = 1'000'000;
// A source that sent nothing for this long has stopped delivering.
constexpr std::int64_t kStalledNs = 1000 * kMs;
// A microphone silent to the last bit this long into a recording is muted.
constexpr double kMutedMicrophoneSeconds = 10;
// How often a source whose server went away is looked for again.
constexpr std::int64_t kRetryNs = 3000 * kMs;

std::int64_t SteadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

TMixedSoundLibrary::TMixedSoundLibrary(std::vector<TTimedCaptureFactory> Sources,
                                       std::vector<float> Levels, TNanoClock Clock)
    : FLevels(std::move(Levels)), FClock(std::move(Clock)) {
    if (!FClock)
        FClock = SteadyNs;
    for (TTimedCaptureFactory& open : Sources) {
        FSources.push_back(std::make_unique<TSource>());
        FSources.back()->Open = std::move(open);
    }
    FLevels.resize(FSources.size(), 1.0F);
}

TMixedSoundLibrary::~TMixedSoundLibrary() {
    ChannelStop(FHandle);
}

// The mixed track is one input, always on.
std::optional<std::string> TMixedSoundLibrary::RecordGetInputName(int Input) {
    if (Input != 0)
        return std::nullopt;
    return std::string("混音");
}

std::int32_t TMixedSoundLibrary::RecordGetInput(int Input, float* Volume) {
    if (Input != 0)
        return -1;
    if (Volume)
        *Volume = 1.0F;
    return static_cast<std::int32_t>(kInputOn);
}

bool TMixedSoundLibrary::RecordSetInput(int Input, std::uint32_t, float) {
    return Input == 0;
}

void TMixedSoundLibrary::WatchForSilence(int Source, double Seconds,
                                         std::function<void()> OnSilent) {
    TSource& source = *FSources.at(static_cast<std::size_t>(Source));
    source.SilenceSeconds = Seconds;
    source.OnSilent = std::move(OnSilent);
}

void TMixedSoundLibrary::OpenSource(int Index) {
    TSource& source = *FSources[static_cast<std::size_t>(Index)];
    source.Capture = source.Open();
    if (!source.Capture)
        return;
    const bool started = source.Capture->Start(
        [this, Index](const std::int16_t* frames, std::size_t count, std::int64_t captureNs) {
            TSource& self = *FSources[static_cast<std::size_t>(Index)];
            self.LastBlockNs = FClock();
            if (self.Silence)
                self.Silence->Take(frames, count);
            FMixer->Push(Index, frames, count, captureNs);
        });
    if (!started)
        source.Capture.reset();
}

std::uint32_t TMixedSoundLibrary::RecordStart(std::uint32_t Frequency, std::uint32_t Channels,
                                              std::uint32_t, TRecordProc Proc, void* User) {
    if (FThread.joinable() || Frequency != kTimedCaptureRate || Channels != 2)
        return 0;
    const std::int64_t now = FClock();
    FMixer = std::make_unique<TSoundMixer>(static_cast<int>(FSources.size()), Frequency, now);
    FStartNs = now;
    for (std::size_t i = 0; i < FSources.size(); ++i) {
        FMixer->SetLevel(static_cast<int>(i), FLevels[i]);
        FSources[i]->LastBlockNs = 0;
        FSources[i]->ToldLost = false;
        FSources[i]->NextTryNs = now + kRetryNs;
        FSources[i]->Silence.reset();
        if (FSources[i]->SilenceSeconds > 0)
            FSources[i]->Silence = std::make_unique<TSilenceWatch>(
                Frequency, FSources[i]->SilenceSeconds, FSources[i]->OnSilent);
        OpenSource(static_cast<int>(i));
    }
    FStopRequested = false;
    FRunning = true;
    ++FHandle;
    FThread = std::thread([this, Proc, User] { Run(Proc, User); });
    return FHandle;
}

void TMixedSoundLibrary::KeepSourcesOpen(std::int64_t NowNs) {
    for (std::size_t i = 0; i < FSources.size(); ++i) {
        TSource& source = *FSources[i];
        const bool gone = !source.Capture || source.Capture->Lost();
        const std::int64_t last = source.LastBlockNs;
        const bool stalled = last != 0 && NowNs - last > kStalledNs;
        if ((gone || stalled) && !source.ToldLost && (last != 0 || gone)) {
            source.ToldLost = true;
            if (OnSourceChanged)
                OnSourceChanged(static_cast<int>(i), true);
        } else if (!gone && !stalled && last != 0 && source.ToldLost) {
            source.ToldLost = false;
            if (OnSourceChanged)
                OnSourceChanged(static_cast<int>(i), false);
        }
        if (gone && NowNs >= source.NextTryNs) {
            source.NextTryNs = NowNs + kRetryNs;
            source.Capture.reset();
            OpenSource(static_cast<int>(i));
        }
    }
}

void TMixedSoundLibrary::Run(TRecordProc Proc, void* User) {
    std::vector<std::int16_t> track;
    bool goOn = true;
    while (goOn) {
        bool stopping = false;
        std::int64_t until = 0;
        {
            std::unique_lock<std::mutex> lock(FLock);
            FWake.wait_for(lock, kPeriod, [this] { return FStopRequested; });
            stopping = FStopRequested;
            until = stopping ? FStopNs : FClock() - kWait.count() * kMs;
        }
        if (stopping) {
            // What the sources hold is handed over before the last piece.
            for (auto& source : FSources)
                source->Capture.reset();
        } else {
            KeepSourcesOpen(FClock());
        }
        track.clear();
        FMixer->Mix(until, track);
        FBlockEndNs = FStartNs + FMixer->Position() * 1'000'000'000 / kTimedCaptureRate;
        if (!track.empty())
            goOn = Proc(FHandle, track.data(), static_cast<std::uint32_t>(track.size() * 2), User);
        goOn = goOn && !stopping;
    }
    for (auto& source : FSources)
        source->Capture.reset();
    FRunning = false;
}

std::optional<std::chrono::steady_clock::time_point>
TMixedSoundLibrary::ChannelBlockEnd(std::uint32_t Handle) {
    if (Handle != FHandle)
        return std::nullopt;
    return std::chrono::steady_clock::time_point(std::chrono::nanoseconds(FBlockEndNs.load()));
}

bool TMixedSoundLibrary::ChannelIsActive(std::uint32_t Handle) {
    return Handle != 0 && Handle == FHandle && FRunning;
}

bool TMixedSoundLibrary::ChannelStop(std::uint32_t Handle) {
    if (Handle != FHandle || !FThread.joinable())
        return false;
    {
        const std::lock_guard<std::mutex> lock(FLock);
        FStopRequested = true;
        FStopNs = FClock();
    }
    FWake.notify_all();
    if (FThread.get_id() != std::this_thread::get_id())
        FThread.join();
    else
        FThread.detach();
    FMixer.reset();
    return true;
}

std::shared_ptr<TSoundLibrary> CreateSoundLibraryFor(
    TSoundChoice Choice, std::string& WhyNot, TSoundLevels Levels,
    std::function<void(const std::string& Chinese, const std::string& English)> OnNotice) {
    switch (Choice) {
    case TSoundChoice::None:
        return nullptr;
    case TSoundChoice::Microphone:
        return CreateSystemSoundLibrary();
    case TSoundChoice::SystemSound:
    case TSoundChoice::Both:
        break;
    }
    // Asked once now, so that a desktop without a sound server is told at
    // the start rather than given a silent recording.
    if (!OpenServerCapture(TSoundSourceKind::SystemSound, WhyNot))
        return nullptr;
    auto open = [](TSoundSourceKind kind) -> TTimedCaptureFactory {
        return [kind] {
            std::string ignored;
            return OpenServerCapture(kind, ignored);
        };
    };
    std::vector<TTimedCaptureFactory> sources{open(TSoundSourceKind::SystemSound)};
    std::vector<float> levels{Levels.System};
    std::vector<std::pair<std::string, std::string>> names{{"系统声音", "the system sound"}};
    if (Choice == TSoundChoice::Both) {
        sources.push_back(open(TSoundSourceKind::Microphone));
        levels.push_back(Levels.Microphone);
        names.emplace_back("麦克风", "the microphone");
    }
    auto library = std::make_shared<TMixedSoundLibrary>(std::move(sources), std::move(levels));
    if (OnNotice && Choice == TSoundChoice::Both)
        library->WatchForSilence(1, kMutedMicrophoneSeconds, [OnNotice] {
            OnNotice(kMutedMicrophoneNotice, "the microphone gave nothing but silence so far: "
                                             "is it muted?");
        });
    if (OnNotice)
        library->OnSourceChanged = [names, OnNotice](int source, bool lost) {
            const auto& [chinese, english] = names[static_cast<std::size_t>(source)];
            if (lost)
                OnNotice(chinese + "中断了，这段时间录下的是静音，录制继续",
                         english + " stopped; silence is recorded in its place meanwhile");
            else
                OnNotice(chinese + "已恢复，继续录入", english + " is back");
        };
    return library;
}

} // namespace vardocle
