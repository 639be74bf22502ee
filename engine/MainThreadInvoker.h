#pragma once
// Hands steps of the capture thread to the user-interface thread.
#include <functional>

class QObject;

namespace vardocle {

class IMainThreadInvoker {
public:
    virtual ~IMainThreadInvoker() = default;
    // Runs the step on the main thread and blocks until it has run there. An
    // exception the step raises is raised again in the caller.
    virtual void Invoke(const std::function<void()>& step) = 0;
    // Queues the step for the main thread without waiting for it.
    virtual void Post(std::function<void()> step) = 0;
};

// The main thread is the one that runs the Qt event loop of `context`.
class TQtMainThreadInvoker : public IMainThreadInvoker {
public:
    explicit TQtMainThreadInvoker(QObject* context) : FContext(context) {}
    void Invoke(const std::function<void()>& step) override;
    void Post(std::function<void()> step) override;

private:
    QObject* FContext;
};

} // namespace vardocle
