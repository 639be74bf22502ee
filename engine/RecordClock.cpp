#include "engine/RecordClock.h"

#include <chrono>

namespace vardocle {

std::int64_t TSteadyClock::NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void TSteadyClock::WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& wake,
                             std::int64_t deadline) {
    if (deadline == kForever) {
        wake.wait(lock);
        return;
    }
    const std::chrono::steady_clock::time_point until{std::chrono::milliseconds(deadline)};
    wake.wait_until(lock, until);
}

} // namespace vardocle
