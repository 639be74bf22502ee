#include "engine/MainThreadInvoker.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <exception>

namespace vardocle {

void TQtMainThreadInvoker::Invoke(const std::function<void()>& step) {
    // A blocking queued call from the main thread itself would never return.
    if (QThread::currentThread() == FContext->thread()) {
        step();
        return;
    }
    std::exception_ptr raised;
    QMetaObject::invokeMethod(
        FContext,
        [&] {
            try {
                step();
            } catch (...) {
                raised = std::current_exception();
            }
        },
        Qt::BlockingQueuedConnection);
    if (raised)
        std::rethrow_exception(raised);
}

void TQtMainThreadInvoker::Post(std::function<void()> step) {
    QMetaObject::invokeMethod(FContext, std::move(step), Qt::QueuedConnection);
}

} // namespace vardocle
