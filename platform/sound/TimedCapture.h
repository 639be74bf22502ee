#pragma once
// A sound source that tells when its sound was captured: what the sound
// mixer needs to put several sources with clocks of their own on the
// recording's clock. Blocks are 16-bit stereo frames at 44100 Hz.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace vardocle {

enum class TSoundSourceKind {
    Microphone,  // the default recording device
    SystemSound, // what the default output plays
};

inline constexpr std::uint32_t kTimedCaptureRate = 44100;

// Called on the capture's own thread; CaptureNs is the steady clock's time,
// in nanoseconds, at which the block's first frame was captured.
using TTimedBlockProc =
    std::function<void(const std::int16_t* Frames, std::size_t Count, std::int64_t CaptureNs)>;

class ITimedCapture {
public:
    virtual ~ITimedCapture() = default;
    // Starts handing blocks to Proc; false when the source cannot record.
    virtual bool Start(TTimedBlockProc Proc) = 0;
    // Once this returns, Proc is neither running nor called again.
    virtual void Stop() = 0;
    // The sound server went away: no block comes any more.
    virtual bool Lost() const = 0;
};

// A source on the desktop's sound server, following the server's default
// device of its kind as the user changes it. Empty with the reason (Chinese)
// when no sound server answers.
std::unique_ptr<ITimedCapture> OpenServerCapture(TSoundSourceKind Kind, std::string& WhyNot);

} // namespace vardocle
