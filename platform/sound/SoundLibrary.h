#pragma once
// Our recording API: the few operations the audio recorder needs from a sound
// library, shaped so that the recorder's logic can be driven by a test double.
// The shipped backend is ALSA (AlsaSoundLibrary); on desktops ALSA reaches the
// sound server through its plugins.
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace vardocle {

// Major and minor in the high 16 bits; callers accept 0x0204 only.
inline constexpr std::uint32_t kSoundLibraryVersion = 0x02040000;

// Flags of an input (RecordGetInput / RecordSetInput).
inline constexpr std::uint32_t kInputOff = 0x10000;
inline constexpr std::uint32_t kInputOn = 0x20000;
// Volume value that leaves an input's volume as it is.
inline constexpr float kVolumeUnchanged = -1.0F;

inline constexpr int kDefaultDevice = -1;

// Called on the library's own recording thread with each block of samples;
// returning false ends the recording.
using TRecordProc = bool (*)(std::uint32_t Handle, const void* Buffer, std::uint32_t Length,
                             void* User);

class TSoundLibrary {
public:
    virtual ~TSoundLibrary() = default;

    virtual std::uint32_t GetVersion() = 0;
    // Prepares the library itself; the recording device is RecordInit's.
    virtual bool Init(int Device, std::uint32_t Frequency) = 0;
    virtual bool Free() = 0;

    // Opens the recording device (kDefaultDevice for the default one).
    virtual bool RecordInit(int Device) = 0;
    virtual bool RecordFree() = 0;

    // The device's inputs are its on/off capture switches. A name for every
    // index below the input count, none past it.
    virtual std::optional<std::string> RecordGetInputName(int Input) = 0;
    // The input's flags (kInputOff when it is off), -1 for a bad index. The
    // volume (0..1) goes to *Volume when given.
    virtual std::int32_t RecordGetInput(int Input, float* Volume) = 0;
    // kInputOff or kInputOn; kVolumeUnchanged keeps the volume. False for a bad index.
    virtual bool RecordSetInput(int Input, std::uint32_t Flags, float Volume) = 0;

    // Starts recording 16-bit samples; blocks then arrive at Proc on the
    // library's thread. Returns the channel, 0 on failure.
    virtual std::uint32_t RecordStart(std::uint32_t Frequency, std::uint32_t Channels,
                                      std::uint32_t Flags, TRecordProc Proc, void* User) = 0;
    // True while the channel records (false once the device went away).
    virtual bool ChannelIsActive(std::uint32_t Handle) = 0;
    // Ends the recording: once this returns no call of Proc runs or follows.
    virtual bool ChannelStop(std::uint32_t Handle) = 0;
    // How often the device ran over because blocks were not taken in time.
    virtual std::uint32_t ChannelGetOverruns(std::uint32_t Handle) = 0;
    // Inside Proc only: when the last sample of the block being delivered was
    // taken, on the steady clock. Empty when the library cannot tell; the
    // block's arrival is then the best guess.
    virtual std::optional<std::chrono::steady_clock::time_point>
    ChannelBlockEnd(std::uint32_t /*Handle*/) {
        return std::nullopt;
    }
};

// The system's sound library (ALSA, default capture device).
std::shared_ptr<TSoundLibrary> CreateSystemSoundLibrary();

} // namespace vardocle
