#include "bench/longrun/FastClock.h"

#include <algorithm>

namespace vardocle::bench {

void TFastClock::WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& wake,
                           std::int64_t deadline) {
    if (deadline < FStop) {
        FNow = std::max(FNow.load(), deadline);
        return;
    }
    FNow = FStop;
    FStopped = true;
    // The thread's own wake-up (terminate, pause, resume) ends the wait.
    wake.wait(lock);
}

} // namespace vardocle::bench
