#include "platform/sound/AlsaCapture.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <vector>

namespace vardocle {

namespace {

// A wait never blocks longer than this, even should a wake-up be missed:
// a reader blocked inside ALSA is not woken by another thread.
constexpr int kWaitMilliseconds = 500;

struct THwParamsFree {
    void operator()(snd_pcm_hw_params_t* Params) const { snd_pcm_hw_params_free(Params); }
};
struct TSwParamsFree {
    void operator()(snd_pcm_sw_params_t* Params) const { snd_pcm_sw_params_free(Params); }
};

// Set by a capture thread around each call of the callback.
thread_local std::optional<std::chrono::steady_clock::time_point> GDeliveredBlockEnd;

} // namespace

std::optional<std::chrono::steady_clock::time_point> DeliveredBlockEnd() {
    return GDeliveredBlockEnd;
}

TPcmHandle OpenCapturePcm(const std::string& PcmName) {
    snd_pcm_t* pcm = nullptr;
    if (snd_pcm_open(&pcm, PcmName.c_str(), SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK) < 0)
        return {};
    return TPcmHandle(pcm);
}

TAlsaCapture::TAlsaCapture(TPcmHandle Pcm, std::uint32_t Handle, std::uint32_t Frequency,
                           std::uint32_t Channels, unsigned PeriodFrames, unsigned BufferPeriods,
                           TRecordProc Proc, void* User)
    : FPcm(std::move(Pcm)), FHandle(Handle), FChannels(Channels), FProc(Proc), FUser(User),
      FWake(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (!FPcm || !FWake || !Configure(Frequency, PeriodFrames, BufferPeriods))
        return;
    FRunning = true;
    FThread = std::thread([this] { Run(); });
}

TAlsaCapture::~TAlsaCapture() {
    Stop();
    if (FThread.joinable())
        FThread.join();
}

bool TAlsaCapture::Configure(std::uint32_t Frequency, unsigned PeriodFrames,
                             unsigned BufferPeriods) {
    snd_pcm_t* pcm = FPcm.get();
    snd_pcm_hw_params_t* rawHw = nullptr;
    if (snd_pcm_hw_params_malloc(&rawHw) < 0)
        return false;
    std::unique_ptr<snd_pcm_hw_params_t, THwParamsFree> hw(rawHw);
    unsigned rate = Frequency;
    // Periods and buffer are always set here: left alone, a sound server's
    // plugin hands out huge buffers and blocks of its own choosing.
    snd_pcm_uframes_t period = PeriodFrames;
    snd_pcm_uframes_t buffer = static_cast<snd_pcm_uframes_t>(PeriodFrames) * BufferPeriods;
    if (snd_pcm_hw_params_any(pcm, hw.get()) < 0 ||
        snd_pcm_hw_params_set_access(pcm, hw.get(), SND_PCM_ACCESS_RW_INTERLEAVED) < 0 ||
        snd_pcm_hw_params_set_format(pcm, hw.get(), SND_PCM_FORMAT_S16_LE) < 0 ||
        snd_pcm_hw_params_set_channels(pcm, hw.get(), FChannels) < 0 ||
        snd_pcm_hw_params_set_rate_near(pcm, hw.get(), &rate, nullptr) < 0 || rate != Frequency ||
        snd_pcm_hw_params_set_period_size_near(pcm, hw.get(), &period, nullptr) < 0 ||
        snd_pcm_hw_params_set_buffer_size_near(pcm, hw.get(), &buffer) < 0 ||
        snd_pcm_hw_params(pcm, hw.get()) < 0)
        return false;
    snd_pcm_hw_params_get_period_size(hw.get(), &FPeriod, nullptr);
    snd_pcm_hw_params_get_buffer_size(hw.get(), &FBufferFrames);
    FRate = rate;
    if (FPeriod == 0)
        return false;

    snd_pcm_sw_params_t* rawSw = nullptr;
    if (snd_pcm_sw_params_malloc(&rawSw) < 0)
        return false;
    std::unique_ptr<snd_pcm_sw_params_t, TSwParamsFree> sw(rawSw);
    if (snd_pcm_sw_params_current(pcm, sw.get()) < 0 ||
        snd_pcm_sw_params_set_avail_min(pcm, sw.get(), FPeriod) < 0 ||
        snd_pcm_sw_params(pcm, sw.get()) < 0)
        return false;
    return snd_pcm_prepare(pcm) == 0 && snd_pcm_start(pcm) == 0;
}

void TAlsaCapture::Stop() {
    FStopRequested = true;
    const std::uint64_t one = 1;
    if (FWake && write(FWake.Get(), &one, sizeof one) < 0) {
        // The loop still sees the flag at its next wait.
    }
    if (!FThread.joinable() || FThread.get_id() == std::this_thread::get_id())
        return;
    FThread.join();
    // The sound server stops sending to a stream that nobody reads any more.
    snd_pcm_drop(FPcm.get());
}

bool TAlsaCapture::Recover(long Error) {
    snd_pcm_t* pcm = FPcm.get();
    switch (Error) {
    case -EAGAIN:
    case -EINTR:
        return true;
    case -EPIPE: // overrun: samples were lost, go on with fresh ones
        ++FOverruns;
        return snd_pcm_prepare(pcm) == 0 && snd_pcm_start(pcm) == 0;
    case -ESTRPIPE: { // the system was suspended
        int result = 0;
        while ((result = snd_pcm_resume(pcm)) == -EAGAIN && !FStopRequested)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (result < 0 && snd_pcm_prepare(pcm) < 0)
            return false;
        return snd_pcm_start(pcm) == 0 || snd_pcm_state(pcm) == SND_PCM_STATE_RUNNING;
    }
    default: // the device or the server went away
        return false;
    }
}

bool TAlsaCapture::WaitForSound() {
    // The PCM's own descriptors plus our wake-up descriptor, so that Stop does
    // not wait for the next period (ALSA's own wait cannot be interrupted).
    const int count = snd_pcm_poll_descriptors_count(FPcm.get());
    if (count <= 0)
        return snd_pcm_wait(FPcm.get(), kWaitMilliseconds) >= 0;
    std::vector<pollfd> fds(static_cast<std::size_t>(count) + 1);
    snd_pcm_poll_descriptors(FPcm.get(), fds.data(), static_cast<unsigned>(count));
    fds.back() = pollfd{FWake.Get(), POLLIN, 0};
    if (poll(fds.data(), fds.size(), kWaitMilliseconds) < 0)
        return errno == EINTR;
    unsigned short events = 0;
    snd_pcm_poll_descriptors_revents(FPcm.get(), fds.data(), static_cast<unsigned>(count), &events);
    // An error shows in the PCM's state, which the reading loop deals with.
    return true;
}

snd_pcm_sframes_t TAlsaCapture::ReadAndDeliver(std::int16_t* Frames, snd_pcm_uframes_t Count,
                                               bool& GoOn) {
    // The delay counts the frames taken but not yet read, the device's and
    // the sound server's latency included: the block's last frame was taken
    // that long, less the block itself, before now.
    snd_pcm_sframes_t delay = 0;
    const bool delayKnown = snd_pcm_delay(FPcm.get(), &delay) == 0;
    const auto now = std::chrono::steady_clock::now();
    const snd_pcm_sframes_t got = snd_pcm_readi(FPcm.get(), Frames, Count);
    if (got <= 0)
        return got;
    const snd_pcm_sframes_t after = delay - got;
    auto blockEnd = now;
    // A delay beyond the buffer is a plugin's guess, not the device's.
    if (delayKnown && FRate > 0 && after > 0 &&
        static_cast<snd_pcm_uframes_t>(after) <= FBufferFrames)
        blockEnd -= std::chrono::microseconds(after * 1'000'000LL / FRate);
    GDeliveredBlockEnd = blockEnd;
    const std::size_t bytes = static_cast<std::size_t>(got) * FChannels * sizeof(std::int16_t);
    GoOn = FProc(FHandle, Frames, static_cast<std::uint32_t>(bytes), FUser) && GoOn;
    GDeliveredBlockEnd.reset();
    return got;
}

void TAlsaCapture::Run() {
    std::vector<std::int16_t> block(FPeriod * FChannels);
    bool goOn = true;
    while (goOn && !FStopRequested) {
        if (!WaitForSound())
            break;
        // Whole periods only, so that every block has the same length.
        while (goOn && !FStopRequested) {
            const snd_pcm_sframes_t avail = snd_pcm_avail_update(FPcm.get());
            if (avail < 0) {
                goOn = Recover(avail);
                break;
            }
            if (static_cast<snd_pcm_uframes_t>(avail) < FPeriod) {
                // A state that can no longer deliver would otherwise spin here.
                const snd_pcm_state_t state = snd_pcm_state(FPcm.get());
                if (state == SND_PCM_STATE_DISCONNECTED)
                    goOn = false;
                else if (state == SND_PCM_STATE_XRUN)
                    goOn = Recover(-EPIPE);
                break;
            }
            const snd_pcm_sframes_t got = ReadAndDeliver(block.data(), FPeriod, goOn);
            if (got < 0) {
                goOn = Recover(got);
                break;
            }
            if (got == 0)
                break;
        }
    }
    // Stopped by the owner: what was taken since the last period is the end
    // of the recording, not thrown away.
    if (goOn && FStopRequested) {
        const snd_pcm_sframes_t avail = snd_pcm_avail_update(FPcm.get());
        if (avail > 0) {
            const auto want =
                std::min<snd_pcm_uframes_t>(static_cast<snd_pcm_uframes_t>(avail), FPeriod);
            ReadAndDeliver(block.data(), want, goOn);
        }
    }
    FRunning = false;
}

} // namespace vardocle
