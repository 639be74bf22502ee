#pragma once
// Screen content for the benchmarks, drawn from a thread of its own. A kind
// of content calls Begin() at the end of its constructor and End() first in
// its destructor; its Run() sets FStarted once it draws and returns when
// FStop is set (or sets FStop itself when it cannot draw).
#include <atomic>
#include <thread>

namespace vardocle::test {

class TDrawingThread {
public:
    TDrawingThread() = default;
    virtual ~TDrawingThread() = default;
    TDrawingThread(const TDrawingThread&) = delete;
    TDrawingThread& operator=(const TDrawingThread&) = delete;
    bool Running() const { return FStarted; }

protected:
    // Starts Run() and waits until it draws or gave up.
    void Begin();
    // Stops and waits for Run(), before the content's own members go.
    void End();
    virtual void Run() = 0;

    std::atomic<bool> FStop{false};
    std::atomic<bool> FStarted{false};

private:
    std::thread FThread;
};

} // namespace vardocle::test
