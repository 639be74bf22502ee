// Capture from the desktop's sound server (PulseAudio, or PipeWire through
// its PulseAudio service). Each source is one record stream of its own on a
// connection of its own; nothing is loaded into or changed on the server.
#include "platform/sound/TimedCapture.h"

#include <pulse/pulseaudio.h>
#include <pulse/thread-mainloop.h>

#include <atomic>
#include <chrono>
#include <vector>

namespace vardocle {

namespace {

// Blocks of 20 ms: small enough for the mixer to place them closely, large
// enough to cost nothing.
constexpr std::uint32_t kFragmentBytes = kTimedCaptureRate * 4 / 50;

struct TLoopFree {
    void operator()(pa_threaded_mainloop* Loop) const { pa_threaded_mainloop_free(Loop); }
};
struct TContextFree {
    void operator()(pa_context* Context) const { pa_context_unref(Context); }
};
struct TStreamFree {
    void operator()(pa_stream* Stream) const {
        pa_stream_disconnect(Stream);
        pa_stream_unref(Stream);
    }
};

std::int64_t SteadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Holds the main loop's lock for a scope.
class TLoopLock {
public:
    explicit TLoopLock(pa_threaded_mainloop* Loop) : FLoop(Loop) {
        pa_threaded_mainloop_lock(FLoop);
    }
    ~TLoopLock() { pa_threaded_mainloop_unlock(FLoop); }
    TLoopLock(const TLoopLock&) = delete;
    TLoopLock& operator=(const TLoopLock&) = delete;

private:
    pa_threaded_mainloop* FLoop;
};

class TPulseCapture final : public ITimedCapture {
public:
    explicit TPulseCapture(TSoundSourceKind Kind) : FKind(Kind) {}
    ~TPulseCapture() override {
        if (!FLoop)
            return;
        Stop();
        {
            const TLoopLock lock(FLoop.get());
            if (FContext)
                pa_context_disconnect(FContext.get());
        }
        pa_threaded_mainloop_stop(FLoop.get());
        FContext.reset();
    }
    TPulseCapture(const TPulseCapture&) = delete;
    TPulseCapture& operator=(const TPulseCapture&) = delete;

    // Connects to the server; false when none answers.
    bool Connect() {
        FLoop.reset(pa_threaded_mainloop_new());
        if (!FLoop)
            return false;
        FContext.reset(pa_context_new(pa_threaded_mainloop_get_api(FLoop.get()), "Vardocle"));
        if (!FContext)
            return false;
        pa_context_set_state_callback(FContext.get(), &TPulseCapture::ContextState, this);
        // Never start a server of our own: the user's desktop has one or not.
        if (pa_context_connect(FContext.get(), nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
            pa_threaded_mainloop_start(FLoop.get()) < 0)
            return false;
        const TLoopLock lock(FLoop.get());
        while (true) {
            const pa_context_state_t state = pa_context_get_state(FContext.get());
            if (state == PA_CONTEXT_READY)
                break;
            if (!PA_CONTEXT_IS_GOOD(state))
                return false;
            pa_threaded_mainloop_wait(FLoop.get());
        }
        pa_context_set_subscribe_callback(FContext.get(), &TPulseCapture::ServerEvent, this);
        Forget(pa_context_subscribe(FContext.get(), PA_SUBSCRIPTION_MASK_SERVER, nullptr, nullptr));
        return true;
    }

    bool Start(TTimedBlockProc Proc) override {
        const TLoopLock lock(FLoop.get());
        FProc = std::move(Proc);
        // Which device is the default now, so that a change is noticed.
        Forget(pa_context_get_server_info(FContext.get(), &TPulseCapture::ServerInfo, this));
        return OpenStream();
    }

    void Stop() override {
        const TLoopLock lock(FLoop.get());
        FStream.reset();
        FProc = nullptr;
    }

    bool Lost() const override { return FLost; }

private:
    static void Forget(pa_operation* Operation) {
        if (Operation)
            pa_operation_unref(Operation);
    }

    // A stream on the server's default device of this kind; a change of the
    // default moves the recording to the new one (see ServerInfo).
    bool OpenStream() {
        FStream.reset();
        const pa_sample_spec format{PA_SAMPLE_S16LE, kTimedCaptureRate, 2};
        FStream.reset(pa_stream_new(FContext.get(),
                                    FKind == TSoundSourceKind::SystemSound ? "系统声音" : "麦克风",
                                    &format, nullptr));
        if (!FStream)
            return false;
        pa_stream_set_read_callback(FStream.get(), &TPulseCapture::Readable, this);
        pa_buffer_attr attributes{};
        attributes.maxlength = static_cast<std::uint32_t>(-1);
        attributes.fragsize = kFragmentBytes;
        const char* device =
            FKind == TSoundSourceKind::SystemSound ? "@DEFAULT_MONITOR@" : "@DEFAULT_SOURCE@";
        const auto flags = static_cast<pa_stream_flags_t>(
            PA_STREAM_ADJUST_LATENCY | PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_INTERPOLATE_TIMING);
        if (pa_stream_connect_record(FStream.get(), device, &attributes, flags) < 0) {
            FStream.reset();
            return false;
        }
        return true;
    }

    static void ContextState(pa_context* Context, void* User) {
        auto* self = static_cast<TPulseCapture*>(User);
        if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(Context)))
            self->FLost = true;
        pa_threaded_mainloop_signal(self->FLoop.get(), 0);
    }

    static void ServerEvent(pa_context* Context, pa_subscription_event_type_t, std::uint32_t,
                            void* User) {
        Forget(pa_context_get_server_info(Context, &TPulseCapture::ServerInfo, User));
    }

    static void ServerInfo(pa_context*, const pa_server_info* Info, void* User) {
        auto* self = static_cast<TPulseCapture*>(User);
        if (!Info)
            return;
        const char* current = self->FKind == TSoundSourceKind::SystemSound
                                  ? Info->default_sink_name
                                  : Info->default_source_name;
        const std::string name = current ? current : "";
        const bool changed = !self->FDefault.empty() && name != self->FDefault;
        self->FDefault = name;
        if (changed && self->FProc)
            self->OpenStream();
    }

    static void Readable(pa_stream* Stream, std::size_t, void* User) {
        auto* self = static_cast<TPulseCapture*>(User);
        const void* data = nullptr;
        std::size_t bytes = 0;
        while (pa_stream_peek(Stream, &data, &bytes) == 0 && bytes > 0) {
            // The latency is how long ago the oldest unread frame was
            // captured; for what the output plays it is negative while the
            // sound is still to be heard, and it is heard then.
            std::int64_t captureNs = SteadyNs();
            pa_usec_t latency = 0;
            int negative = 0;
            if (pa_stream_get_latency(Stream, &latency, &negative) == 0)
                captureNs -= (negative ? -1 : 1) * static_cast<std::int64_t>(latency) * 1000;
            const std::size_t frames = bytes / 4;
            if (self->FProc && frames > 0) {
                if (data) {
                    self->FProc(static_cast<const std::int16_t*>(data), frames, captureNs);
                } else {
                    // A hole in the stream: silence in its place.
                    self->FSilence.assign(2 * frames, 0);
                    self->FProc(self->FSilence.data(), frames, captureNs);
                }
            }
            pa_stream_drop(Stream);
        }
    }

    const TSoundSourceKind FKind;
    std::unique_ptr<pa_threaded_mainloop, TLoopFree> FLoop;
    std::unique_ptr<pa_context, TContextFree> FContext;
    std::unique_ptr<pa_stream, TStreamFree> FStream;
    TTimedBlockProc FProc;
    std::string FDefault; // the default device the stream follows
    std::vector<std::int16_t> FSilence;
    std::atomic<bool> FLost{false};
};

} // namespace

std::unique_ptr<ITimedCapture> OpenServerCapture(TSoundSourceKind Kind, std::string& WhyNot) {
    auto capture = std::make_unique<TPulseCapture>(Kind);
    if (!capture->Connect()) {
        WhyNot = "没有找到桌面的声音服务器，只能录制麦克风的声音";
        return nullptr;
    }
    return capture;
}

} // namespace vardocle
