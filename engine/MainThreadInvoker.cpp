#include "engine/MainThreadInvoker.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <exception>

// Qt's event queue orders the two threads through futexes of its own, which
// the thread checker does not see; these calls tell it about that order (and
// are nothing in other builds).
#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void* address);
extern "C" void __tsan_release(void* address);
#define VARDOCLE_HANDED_OVER(address) __tsan_release(address)
#define VARDOCLE_TAKEN_OVER(address) __tsan_acquire(address)
#else
#define VARDOCLE_HANDED_OVER(address) ((void)(address))
#define VARDOCLE_TAKEN_OVER(address) ((void)(address))
#endif

namespace vardocle {

void TQtMainThreadInvoker::Invoke(const std::function<void()>& step) {
    // A blocking queued call from the main thread itself would never return.
    if (QThread::currentThread() == FContext->thread()) {
        step();
        return;
    }
    std::exception_ptr raised;
    VARDOCLE_HANDED_OVER(&raised);
    QMetaObject::invokeMethod(
        FContext,
        [&] {
            VARDOCLE_TAKEN_OVER(&raised);
            try {
                step();
            } catch (...) {
                raised = std::current_exception();
            }
            VARDOCLE_HANDED_OVER(&raised);
        },
        Qt::BlockingQueuedConnection);
    VARDOCLE_TAKEN_OVER(&raised);
    if (raised)
        std::rethrow_exception(raised);
}

namespace {

// A queued step. Qt frees it on whichever thread lets go of it last, ordered
// by a count inside Qt; the destructor tells the checker of that order.
class TPostedStep {
public:
    TPostedStep(std::function<void()> step, void* key) : FStep(std::move(step)), FKey(key) {}
    TPostedStep(TPostedStep&&) = default;
    TPostedStep& operator=(TPostedStep&&) = delete;
    ~TPostedStep() { VARDOCLE_TAKEN_OVER(FKey); }

    void operator()() {
        VARDOCLE_TAKEN_OVER(FKey);
        FStep();
        VARDOCLE_HANDED_OVER(FKey);
    }

private:
    std::function<void()> FStep;
    void* FKey;
};

} // namespace

void TQtMainThreadInvoker::Post(std::function<void()> step) {
    VARDOCLE_HANDED_OVER(this);
    QMetaObject::invokeMethod(FContext, TPostedStep(std::move(step), this), Qt::QueuedConnection);
}

} // namespace vardocle
