#pragma once
// One running ALSA capture: the PCM and the thread that waits for each period
// and hands it to the callback.
#include "platform/base/UniqueFd.h"
#include "platform/sound/SoundLibrary.h"

#include <alsa/asoundlib.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>

namespace vardocle {

struct TPcmCloser {
    void operator()(snd_pcm_t* Pcm) const { snd_pcm_close(Pcm); }
};
using TPcmHandle = std::unique_ptr<snd_pcm_t, TPcmCloser>;

// Inside the callback, on a capture's own thread: when the last sample of the
// block being delivered was taken, as the device's delay tells it. Empty on
// any other thread.
std::optional<std::chrono::steady_clock::time_point> DeliveredBlockEnd();

// Opens a PCM for capture without blocking reads; empty on failure.
TPcmHandle OpenCapturePcm(const std::string& PcmName);

class TAlsaCapture {
public:
    // Configures and starts the PCM; Ok() tells whether recording runs.
    TAlsaCapture(TPcmHandle Pcm, std::uint32_t Handle, std::uint32_t Frequency,
                 std::uint32_t Channels, unsigned PeriodFrames, unsigned BufferPeriods,
                 TRecordProc Proc, void* User);
    // Stops and joins the thread.
    ~TAlsaCapture();
    TAlsaCapture(const TAlsaCapture&) = delete;
    TAlsaCapture& operator=(const TAlsaCapture&) = delete;

    bool Ok() const { return FThread.joinable(); }
    std::uint32_t Handle() const { return FHandle; }
    bool Running() const { return FRunning && !FStopRequested; }
    std::uint32_t Overruns() const { return FOverruns; }

    // Once this returns, the callback is neither running nor called again
    // (from the capture thread itself it only asks the loop to end).
    void Stop();

private:
    bool Configure(std::uint32_t Frequency, unsigned PeriodFrames, unsigned BufferPeriods);
    void Run();
    // Waits for sound or a stop request; false when waiting itself failed.
    bool WaitForSound();
    // Reads up to Count frames and hands them to the callback; what readi gave.
    snd_pcm_sframes_t ReadAndDeliver(std::int16_t* Frames, snd_pcm_uframes_t Count, bool& GoOn);
    // Deals with an error code of the PCM; false when recording cannot go on.
    bool Recover(long Error);

    TPcmHandle FPcm;
    std::uint32_t FHandle;
    std::uint32_t FChannels;
    snd_pcm_uframes_t FPeriod = 0;
    snd_pcm_uframes_t FBufferFrames = 0;
    unsigned FRate = 0;
    TRecordProc FProc;
    void* FUser;
    std::atomic<bool> FStopRequested{false};
    std::atomic<bool> FRunning{false};
    std::atomic<std::uint32_t> FOverruns{0};
    UniqueFd FWake; // written by Stop to end a wait at once
    std::thread FThread;
};

} // namespace vardocle
