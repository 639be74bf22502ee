#include "tests/unit/engine/EngineFakes.h"

#include <algorithm>

namespace vardocle::test {

bool TFakeClock::RunNextAction(std::int64_t until) {
    std::function<void()> action;
    {
        std::lock_guard guard(FActionsLock);
        if (FActions.empty() || FActions.begin()->first > until)
            return false;
        FNow = std::max<std::int64_t>(FNow, FActions.begin()->first);
        action = std::move(FActions.begin()->second);
        FActions.erase(FActions.begin());
    }
    action();
    return true;
}

void TFakeClock::WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable&,
                           std::int64_t deadline) {
    lock.unlock();
    if (!RunNextAction(deadline)) {
        if (deadline != kForever)
            FNow = std::max<std::int64_t>(FNow, deadline);
        else if (OnStall)
            OnStall();
    }
    lock.lock();
}

void TFakeClock::At(std::int64_t time, std::function<void()> action) {
    std::lock_guard guard(FActionsLock);
    FActions.emplace(time, std::move(action));
}

void TFakeClock::Advance(std::int64_t milliseconds) {
    const std::int64_t target = FNow + milliseconds;
    while (RunNextAction(target)) {
    }
    FNow = std::max<std::int64_t>(FNow, target);
}

TFakeScreen::TFakeScreen(TFakeClock& clock, TScreenLog& log, int width, int height)
    : FClock(clock), FLog(log), FWidth(width), FHeight(height),
      FPixels(static_cast<std::size_t>(width) * height) {}

TFakeScreen::~TFakeScreen() {
    FLog.LastGrab = FPixels;
    FLog.Destroyed = true;
}

TScreenGrab TFakeScreen::Grab() {
    if (OnMainThread && !*OnMainThread)
        FLog.GrabbedOffMainThread = true;
    const int index = static_cast<int>(FLog.GrabTimes.size());
    FLog.GrabTimes.push_back(FClock.NowMs());
    if (GrabCost)
        FClock.Advance(GrabCost(index));
    if (SizeOf)
        std::tie(FWidth, FHeight) = SizeOf(index);
    const int stride = FWidth + RowPadding / 4;
    FPixels.assign(static_cast<std::size_t>(stride) * FHeight, 0x00FF00FF);
    for (int y = 0; y < FHeight; ++y)
        std::fill_n(FPixels.begin() + static_cast<std::ptrdiff_t>(y) * stride, FWidth, 0x00204060);
    return {reinterpret_cast<std::uint8_t*>(FPixels.data()), FWidth, FHeight,
            static_cast<std::ptrdiff_t>(stride) * 4, ChangedOf ? ChangedOf(index) : TChangedRows{}};
}

TCursorImage TFakeScreen::Cursor() {
    ++FLog.CursorQueries;
    return CursorShown;
}

void TSyncInvoker::Invoke(const std::function<void()>& step) {
    ++Steps;
    const bool outer = !InStep.exchange(true);
    try {
        step();
    } catch (...) {
        if (outer)
            InStep = false;
        throw;
    }
    if (outer)
        InStep = false;
}

void TSyncInvoker::Post(std::function<void()> step) {
    Invoke(step);
}

} // namespace vardocle::test
