#pragma once
// The screen of a recorded tutorial: a still desktop with one window into
// which text is typed at 8 characters a second, and a pointer that moves
// every 3 seconds. Drawn from a thread of its own until the object goes.
#include <atomic>
#include <thread>

namespace vardocle::test {

class TTypingDesktop {
public:
    TTypingDesktop();
    ~TTypingDesktop();
    TTypingDesktop(const TTypingDesktop&) = delete;
    TTypingDesktop& operator=(const TTypingDesktop&) = delete;
    bool Running() const { return FStarted; }

private:
    void Run();
    std::atomic<bool> FStop{false};
    std::atomic<bool> FStarted{false};
    std::thread FThread;
};

} // namespace vardocle::test
