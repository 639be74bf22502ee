#pragma once
// Fast-changing screen content for the benchmarks: text scrolling up the
// root window, drawn from a thread of its own until the object goes.
#include <atomic>
#include <thread>

namespace vardocle::test {

class TScreenAnimator {
public:
    TScreenAnimator();
    ~TScreenAnimator();
    TScreenAnimator(const TScreenAnimator&) = delete;
    TScreenAnimator& operator=(const TScreenAnimator&) = delete;
    bool Running() const { return FStarted; }

private:
    void Run();
    std::atomic<bool> FStop{false};
    std::atomic<bool> FStarted{false};
    std::thread FThread;
};

} // namespace vardocle::test
