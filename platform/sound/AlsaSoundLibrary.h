#pragma once
// The recording API over ALSA: one capture device (the "default" PCM unless
// told otherwise), its simple-mixer capture switches as the inputs, and one
// recording at a time read on a thread of its own.
#include "platform/sound/SoundLibrary.h"

#include <memory>
#include <string>
#include <vector>

namespace vardocle {

class TAlsaCapture;
class TAlsaMixer;

class TAlsaSoundLibrary final : public TSoundLibrary {
public:
    explicit TAlsaSoundLibrary(std::string PcmName = "default");
    ~TAlsaSoundLibrary() override;
    TAlsaSoundLibrary(const TAlsaSoundLibrary&) = delete;
    TAlsaSoundLibrary& operator=(const TAlsaSoundLibrary&) = delete;

    std::uint32_t GetVersion() override { return kSoundLibraryVersion; }
    bool Init(int Device, std::uint32_t Frequency) override;
    bool Free() override;
    bool RecordInit(int Device) override;
    bool RecordFree() override;
    std::optional<std::string> RecordGetInputName(int Input) override;
    std::int32_t RecordGetInput(int Input, float* Volume) override;
    bool RecordSetInput(int Input, std::uint32_t Flags, float Volume) override;
    std::uint32_t RecordStart(std::uint32_t Frequency, std::uint32_t Channels, std::uint32_t Flags,
                              TRecordProc Proc, void* User) override;
    bool ChannelIsActive(std::uint32_t Handle) override;
    bool ChannelStop(std::uint32_t Handle) override;
    std::uint32_t ChannelGetOverruns(std::uint32_t Handle) override;
    std::optional<std::chrono::steady_clock::time_point>
    ChannelBlockEnd(std::uint32_t Handle) override;

    // Each block the callback receives is one period of this many frames (0.1 s).
    static constexpr unsigned kPeriodFrames = 4410;
    // The device holds this many periods before it runs over (1 s).
    static constexpr unsigned kBufferPeriods = 10;

private:
    TAlsaCapture* CaptureFor(std::uint32_t Handle);

    std::string FPcmName;
    bool FInitialized = false;
    bool FRecordReady = false;
    std::unique_ptr<TAlsaMixer> FMixer;
    std::unique_ptr<TAlsaCapture> FCapture;
    std::uint32_t FNextHandle = 1;
};

// The control device whose mixer belongs to a PCM name ("hw:1,0" -> "hw:1").
std::string MixerNameForPcm(const std::string& PcmName);

} // namespace vardocle
