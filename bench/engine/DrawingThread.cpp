#include "bench/engine/DrawingThread.h"

#include <chrono>

namespace vardocle::test {

void TDrawingThread::Begin() {
    FThread = std::thread([this] { Run(); });
    while (!FStarted && !FStop)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

void TDrawingThread::End() {
    FStop = true;
    if (FThread.joinable())
        FThread.join();
}

} // namespace vardocle::test
