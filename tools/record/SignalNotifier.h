#pragma once
// Turns process signals into calls on the main thread (through a pipe that
// the signal handler writes and the event loop watches).
#include <QObject>

#include <functional>
#include <initializer_list>
#include <memory>

class QSocketNotifier;

namespace vardocle {

class TSignalNotifier : public QObject {
public:
    TSignalNotifier(std::initializer_list<int> signalNumbers, std::function<void(int)> handler,
                    QObject* parent = nullptr);
    ~TSignalNotifier() override;

private:
    std::function<void(int)> FHandler;
    std::unique_ptr<QSocketNotifier> FNotifier;
};

} // namespace vardocle
