#pragma once
// The capture thread's time: a millisecond clock and a wait for a moment that
// a change of the thread's state can cut short.
#include <condition_variable>
#include <cstdint>
#include <limits>
#include <mutex>

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

} // namespace vardocle
