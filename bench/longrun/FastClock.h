#pragma once
// A recording clock that runs as fast as the capture thread can go: waiting
// for a moment simply makes it that moment. At the end of the simulated
// span it stops and waits for real, as a recording waits for its owner to
// stop it, and says so.
#include "engine/RecordClock.h"

#include <atomic>
#include <cstdint>

namespace vardocle::bench {

class TFastClock : public IRecordClock {
public:
    // The clock starts at 0 and stops at `stopMs`.
    explicit TFastClock(std::int64_t stopMs) : FStop(stopMs) {}

    std::int64_t NowMs() override { return FNow.load(); }
    void WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& wake,
                   std::int64_t deadline) override;

    std::int64_t StopMs() const { return FStop; }
    // True once the capture thread waits at the end of the span.
    bool Stopped() const { return FStopped.load(); }

private:
    const std::int64_t FStop;
    std::atomic<std::int64_t> FNow{0};
    std::atomic<bool> FStopped{false};
};

} // namespace vardocle::bench
