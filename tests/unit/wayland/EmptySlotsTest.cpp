// A screen that has no picture yet (a desktop that sends pictures only once
// something changed) leaves its slots empty: no error, and the video still
// lasts as long as the recording.
#include "engine/RecordThread.h"
#include "tests/support/TestSupport.h"
#include "tests/unit/engine/EngineFakes.h"

#include <gtest/gtest.h>

using namespace vardocle;
using namespace vardocle::test;

namespace {

class TLateScreen : public IScreen {
public:
    TLateScreen(int emptyGrabs, bool& cursorAsked)
        : FEmpty(emptyGrabs), FCursorAsked(cursorAsked) {}
    TScreenGrab Grab() override {
        if (FEmpty-- > 0)
            return {};
        FPixels.assign(64 * 48, 0x00336699u);
        return {reinterpret_cast<std::uint8_t*>(FPixels.data()), 64, 48, 64 * 4};
    }
    TCursorImage Cursor() override { return {}; }
    void SetCaptureTransparent(bool) override {}
    void SetCaptureCursor(bool value) override { FCursorAsked = value; }

private:
    int FEmpty;
    bool& FCursorAsked;
    std::vector<std::uint32_t> FPixels;
};

} // namespace

TEST(EmptySlots, SlotsBeforeTheFirstPictureStayEmptyAndTheVideoKeepsItsLength) {
    TempDir dir;
    const std::string file = (dir / "late.avi").string();
    TSyncInvoker invoker;
    auto clock = std::make_unique<TFakeClock>();
    TFakeClock* time = clock.get();
    bool cursorAsked = false;
    std::vector<TRecordError> errors;
    TRecordThread thread(file, TRect{0, 0, 64, 48}, "", 2,
                         std::make_unique<TLateScreen>(4, cursorAsked), invoker, std::move(clock));
    thread.SetRecordCursor(true);
    thread.OnRecordError = [&](TRecordThread&, const TRecordError& error) {
        errors.push_back(error);
    };
    time->OnStall = [&] { thread.Terminate(); };
    time->At(5000, [&] { thread.Terminate(); });
    thread.Resume();
    thread.WaitFor();

    EXPECT_TRUE(errors.empty()) << errors.front().Message;
    EXPECT_TRUE(cursorAsked);             // told before the first grab
    EXPECT_EQ(thread.FramesWritten(), 6); // slots 4..9 had a picture
    const auto video = ProbeStream(file, "video");
    ASSERT_FALSE(video.isEmpty());
    // Every slot is in the file, the empty ones as empty chunks.
    EXPECT_EQ(video["nb_frames"].toString(), "10");
    EXPECT_EQ(video["nb_read_frames"].toString(), "6");
}
