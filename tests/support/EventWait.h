#pragma once
// Waiting in a test while the Qt event loop keeps running.
#include <QCoreApplication>
#include <QElapsedTimer>

#include <functional>

namespace vardocle::test {

// Processes events until `condition` holds; false when it did not within
// `milliseconds`.
inline bool WaitFor(const std::function<bool()>& condition, int milliseconds = 15000) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > milliseconds)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// Keeps the event loop running for `milliseconds`.
inline void KeepRunning(int milliseconds) {
    WaitFor([] { return false; }, milliseconds);
}

} // namespace vardocle::test
