#pragma once
// Notices a microphone that gives nothing but digital silence (every sample
// exactly zero) for the first seconds of a recording: a muted input, which
// the user would otherwise only find out about after the recording.
#include <cstddef>
#include <cstdint>
#include <functional>

namespace vardocle {

class TSilenceWatch {
public:
    // OnSilent is called once, from Take, when Seconds of sound at Rate
    // were all zero; any sample that is not ends the watch.
    TSilenceWatch(std::uint32_t Rate, double Seconds, std::function<void()> OnSilent)
        : FNeeded(static_cast<std::int64_t>(Rate * Seconds)), FOnSilent(std::move(OnSilent)) {}

    // Interleaved stereo frames.
    void Take(const std::int16_t* Frames, std::size_t Count) {
        if (FDone)
            return;
        for (std::size_t i = 0; i < 2 * Count; ++i)
            if (Frames[i] != 0) {
                FDone = true;
                return;
            }
        FSilentFrames += static_cast<std::int64_t>(Count);
        if (FSilentFrames >= FNeeded) {
            FDone = true;
            if (FOnSilent)
                FOnSilent();
        }
    }

private:
    std::int64_t FNeeded;
    std::int64_t FSilentFrames = 0;
    bool FDone = false;
    std::function<void()> FOnSilent;
};

} // namespace vardocle
