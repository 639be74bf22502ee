#pragma once
// The capture thread's time: a millisecond clock and a wait for a moment that
// a change of the thread's state can cut short.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <limits>
#include <mutex>
#include <optional>

namespace vardocle {

class IRecordClock {
public:
    static constexpr std::int64_t kForever = std::numeric_limits<std::int64_t>::max();

    virtual ~IRecordClock() = default;
    virtual std::int64_t NowMs() = 0;
    // Waits, with `lock` released meanwhile, until NowMs() reaches `deadline`
    // or `wake` is notified. May return early; callers check their state again.
    virtual void WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& wake,
                           std::int64_t deadline) = 0;
};

// The monotonic clock of the machine. Waiting blocks; it never spins.
class TSteadyClock : public IRecordClock {
public:
    std::int64_t NowMs() override;
    void WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& wake,
                   std::int64_t deadline) override;
};

// When a recording's time began: the start of its first frame's slot, on the
// machine's monotonic clock. The capture thread sets it once its loop runs;
// the sound recorder reads it from its own thread to line the first block of
// sound up with the first frame.
class TRecordStart {
public:
    void Set(std::chrono::steady_clock::time_point Moment) {
        FTicks.store(Moment.time_since_epoch().count(), std::memory_order_release);
    }
    std::optional<std::chrono::steady_clock::time_point> Get() const {
        const std::int64_t ticks = FTicks.load(std::memory_order_acquire);
        if (ticks == kUnset)
            return std::nullopt;
        return std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(ticks));
    }

private:
    static constexpr std::int64_t kUnset = std::numeric_limits<std::int64_t>::min();
    std::atomic<std::int64_t> FTicks{kUnset};
};

} // namespace vardocle
