#pragma once
// Stand-ins for the capture thread's surroundings: a clock whose time only
// moves when the thread waits or a capture takes time, a screen that records
// every grab, and a main thread that runs each step at once.
#include "engine/MainThreadInvoker.h"
#include "engine/RecordClock.h"
#include "platform/screen/Screen.h"

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

namespace vardocle::test {

class TFakeClock : public IRecordClock {
public:
    std::int64_t NowMs() override { return FNow; }
    void WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& wake,
                   std::int64_t deadline) override;

    // Runs `action` (on the capture thread) when the time reaches `time`.
    void At(std::int64_t time, std::function<void()> action);
    // Moves the time on, running the actions that fall due on the way.
    void Advance(std::int64_t milliseconds);
    // Called when the thread would wait forever with nothing left to happen.
    std::function<void()> OnStall;

private:
    bool RunNextAction(std::int64_t until);

    std::atomic<std::int64_t> FNow{0};
    std::mutex FActionsLock;
    std::multimap<std::int64_t, std::function<void()>> FActions;
};

// What happened to the screen stand-in; outlives it (the recording frees its
// screen when it ends).
struct TScreenLog {
    std::vector<std::int64_t> GrabTimes;
    int CursorQueries = 0;
    bool CaptureTransparent = false;
    bool GrabbedOffMainThread = false;
    bool Destroyed = false;
    std::vector<std::uint32_t> LastGrab; // the grab as it was after the frame was written
};

class TFakeScreen : public IScreen {
public:
    TFakeScreen(TFakeClock& clock, TScreenLog& log, int width, int height);
    ~TFakeScreen() override;

    TScreenChanges TakeChanges() override {
        return Changes ? Changes(FClock.NowMs()) : TScreenChanges{};
    }
    TScreenGrab Grab() override;
    TCursorImage Cursor() override;
    void SetCaptureTransparent(bool value) override { FLog.CaptureTransparent = value; }

    // What the screen says changed when asked at a time; everything when unset.
    std::function<TScreenChanges(std::int64_t)> Changes;
    TCursorImage CursorShown;
    // The size of the n-th grab (the constructor's unless set), and bytes of
    // padding after each row, filled with another colour.
    std::function<std::pair<int, int>(int)> SizeOf;
    int RowPadding = 0;
    // The rows the n-th grab says it read again and found changed (all
    // unless set).
    std::function<TChangedRows(int)> ChangedOf;
    // How long the n-th grab takes (0 unless set).
    std::function<std::int64_t(int)> GrabCost;
    // Set by the main-thread stand-in while it runs a step.
    const std::atomic<bool>* OnMainThread = nullptr;

private:
    TFakeClock& FClock;
    TScreenLog& FLog;
    int FWidth;
    int FHeight;
    std::vector<std::uint32_t> FPixels;
};

class TSyncInvoker : public IMainThreadInvoker {
public:
    void Invoke(const std::function<void()>& step) override;
    void Post(std::function<void()> step) override;
    std::atomic<bool> InStep{false};
    std::atomic<int> Steps{0};
};

} // namespace vardocle::test
