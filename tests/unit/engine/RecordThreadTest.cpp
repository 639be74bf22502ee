#include "engine/RecordThread.h"
#include "engine/SoundHandOff.h"
#include "platform/avifile/Compressors.h"
#include "platform/base/Errors.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/TestSupport.h"
#include "tests/unit/engine/EngineFakes.h"

#include <gtest/gtest.h>
#include <mutex>
#include <optional>

using namespace vardocle;
using namespace vardocle::test;

namespace {

// One recording with stand-ins around it, run to its end on the capture thread.
class Recording {
public:
    explicit Recording(std::uint8_t rate, const std::string& name = "out.avi", int width = 64,
                       int height = 48) {
        auto clock = std::make_unique<TFakeClock>();
        Clock = clock.get();
        auto screen = std::make_unique<TFakeScreen>(*Clock, Log, 128, 96);
        Screen = screen.get();
        Screen->OnMainThread = &Invoker.InStep;
        File = name.empty() ? std::string() : (Dir / name).string();
        Thread = std::make_unique<TRecordThread>(File, TRect{0, 0, width, height}, "", rate,
                                                 std::move(screen), Invoker, std::move(clock));
        Thread->OnRecordEnd = [this](TRecordThread& sender) {
            EXPECT_EQ(&sender, Thread.get());
            ++Ends;
        };
        Thread->OnRecordError = [this](TRecordThread&, const TRecordError& error) {
            Errors.push_back(error);
        };
        // A recording that would wait for ever has a mistake in its script.
        Clock->OnStall = [this] {
            ADD_FAILURE() << "the recording waits with nothing left to happen";
            Thread->Terminate();
        };
    }

    void StopAt(std::int64_t time) {
        Clock->At(time, [this] { Thread->Terminate(); });
    }
    void Run() {
        Thread->Resume();
        Thread->WaitFor();
    }
    std::vector<std::int64_t> Intervals() const {
        std::vector<std::int64_t> result;
        for (std::size_t i = 1; i < Log.GrabTimes.size(); ++i)
            result.push_back(Log.GrabTimes[i] - Log.GrabTimes[i - 1]);
        return result;
    }

    TempDir Dir;
    TSyncInvoker Invoker;
    TScreenLog Log;
    TFakeClock* Clock;
    TFakeScreen* Screen;
    std::string File;
    std::unique_ptr<TRecordThread> Thread;
    int Ends = 0;
    std::vector<TRecordError> Errors;
};

} // namespace

TEST(RecordThread, FramesFollowTheirSlotsAtEveryRate) {
    for (int rate = 1; rate <= 5; ++rate) {
        SCOPED_TRACE(rate);
        Recording recording(static_cast<std::uint8_t>(rate));
        EXPECT_EQ(recording.Thread->FrameInterval(), 1000 / rate);
        recording.StopAt(6000);
        recording.Run();
        const auto& times = recording.Log.GrabTimes;
        ASSERT_EQ(times.size(), static_cast<std::size_t>(6 * rate));
        // Frame n starts n × 1000 / rate ms in, so rate 3 does not drift to 333 ms steps.
        for (std::size_t n = 0; n < times.size(); ++n)
            EXPECT_EQ(times[n], static_cast<std::int64_t>(n) * 1000 / rate) << n;
        EXPECT_EQ(recording.Thread->FramesWritten(), 6 * rate);
        EXPECT_EQ(recording.Ends, 1);
        EXPECT_TRUE(recording.Errors.empty());
        EXPECT_FALSE(recording.Log.GrabbedOffMainThread);
        EXPECT_EQ(recording.Thread->RecordedMs(), 6000);
    }
    // The file says so too: 30 frames at 5 per second are 6 seconds.
}

TEST(RecordThread, LateCapturesRepeatTheFrameSoTheVideoKeepsTime) {
    Recording recording(5);
    // The third capture takes 2.5 intervals: slot 3 passes without a capture.
    recording.Screen->GrabCost = [](int n) { return n == 2 ? 500 : 0; };
    recording.StopAt(3000);
    recording.Run();
    const std::vector<std::int64_t> expected{0,    200,  400,  900,  1000, 1200, 1400,
                                             1600, 1800, 2000, 2200, 2400, 2600, 2800};
    EXPECT_EQ(recording.Log.GrabTimes, expected);
    EXPECT_EQ(recording.Thread->FramesWritten(), 14);
    const auto video = ProbeStream(recording.File, "video");
    // 15 slots in 3 seconds; the one missed plays the frame before it.
    EXPECT_EQ(video["nb_frames"].toString(), "15");
    EXPECT_NEAR(video["duration"].toString().toDouble(), 3.0, 0.01);
}

TEST(RecordThread, ACaptureOfOneAndAHalfIntervalsDelaysOnlyTheNextSlot) {
    Recording recording(5);
    recording.Screen->GrabCost = [](int n) { return n == 1 ? 300 : 0; };
    recording.StopAt(1000);
    recording.Run();
    // Slot 2 starts at 400 but the capture of slot 1 runs until 500: slot 2 is
    // taken at once, then the slots go on at their own times.
    const std::vector<std::int64_t> expected{0, 200, 500, 600, 800};
    EXPECT_EQ(recording.Log.GrabTimes, expected);
}

TEST(RecordThread, PausedTimeIsLeftOutOfTheVideo) {
    Recording recording(5);
    recording.Clock->At(1100, [&] { recording.Thread->Suspend(); });
    recording.Clock->At(3100, [&] {
        EXPECT_TRUE(recording.Thread->Paused());
        recording.Thread->Resume();
    });
    recording.StopAt(4000);
    recording.Run();
    // 100 ms of slot 5 passed before the pause, so slot 6 comes 100 ms after it.
    const std::vector<std::int64_t> expected{0, 200, 400, 600, 800, 1000, 3200, 3400, 3600, 3800};
    EXPECT_EQ(recording.Log.GrabTimes, expected);
    EXPECT_EQ(recording.Thread->RecordedMs(), 2000);
    const auto video = ProbeStream(recording.File, "video");
    EXPECT_EQ(video["nb_frames"].toString(), "10");
}

TEST(RecordThread, OnlySlotsWithAChangeAreGrabbedYetEverySlotCounts) {
    for (const bool cursor : {false, true}) {
        Recording recording(5);
        recording.Thread->SetRecordCursor(cursor);
        // Something is drawn at 3.0 s, the pointer moves at 5.0 s; nothing else.
        std::int64_t askedBefore = -1;
        recording.Screen->Changes = [&](std::int64_t now) {
            auto happened = [&](std::int64_t moment) {
                return askedBefore < moment && moment <= now;
            };
            const TScreenChanges changes{happened(3000), happened(5000)};
            askedBefore = now;
            return changes;
        };
        recording.Clock->At(16000, [&] { recording.Thread->Suspend(); });
        recording.Clock->At(18000, [&] { recording.Thread->Resume(); });
        recording.StopAt(27000);
        recording.Run();
        // The first frame; the drawing; the pointer only when it is recorded;
        // a whole frame ten seconds after the last one; the first after the pause.
        const std::vector<std::int64_t> expected =
            cursor ? std::vector<std::int64_t>{0, 3000, 5000, 15000, 18000}
                   : std::vector<std::int64_t>{0, 3000, 13000, 18000};
        EXPECT_EQ(recording.Log.GrabTimes, expected) << "cursor " << cursor;
        const auto video = ProbeStream(recording.File, "video");
        EXPECT_EQ(video["nb_frames"].toString(), "125"); // 25 s without the pause
        // Each grab is compressed once (the slots after it would compress it
        // again where that sharpened it, but these are coded finely), and the
        // last picture fills the last slot.
        EXPECT_EQ(video["nb_read_frames"].toString(), QString::number(expected.size() + 1));
    }
}

TEST(RecordThread, AGrabThatFoundNothingChangedIsASlotWithoutAChange) {
    Recording recording(5);
    // Drawn on in every slot, but only the first grab finds a pixel changed.
    recording.Screen->Changes = [](std::int64_t) { return TScreenChanges{true, false}; };
    recording.Screen->ChangedOf = [](int index) {
        return index == 0 ? TChangedRows{} : TChangedRows::Nothing();
    };
    recording.StopAt(4000);
    recording.Run();
    EXPECT_EQ(recording.Log.GrabTimes.size(), 20u);
    const auto video = ProbeStream(recording.File, "video");
    EXPECT_EQ(video["nb_frames"].toString(), "20");
    // The first picture, and once more for the last slot.
    EXPECT_EQ(video["nb_read_frames"].toString(), "2");
}

TEST(RecordThread, StopWhilePausedClosesTheFile) {
    Recording recording(2);
    recording.Clock->At(1200, [&] { recording.Thread->Suspend(); });
    recording.StopAt(5000);
    recording.Run();
    EXPECT_EQ(recording.Log.GrabTimes, (std::vector<std::int64_t>{0, 500, 1000}));
    EXPECT_EQ(recording.Ends, 1);
    EXPECT_TRUE(recording.Log.Destroyed);
    EXPECT_EQ(recording.Thread->RecordedMs(), 1200);
    EXPECT_EQ(ProbeStream(recording.File, "video")["nb_read_frames"].toString(), "3");
}

TEST(RecordThread, PauseDuringACaptureStillWritesThatFrame) {
    Recording recording(5);
    // The pause arrives while the second frame is being captured.
    recording.Screen->GrabCost = [&](int n) { return n == 1 ? 50 : 0; };
    recording.Clock->At(220, [&] { recording.Thread->Suspend(); });
    recording.Clock->At(1220, [&] { recording.Thread->Resume(); });
    recording.StopAt(1500);
    recording.Run();
    EXPECT_EQ(recording.Log.GrabTimes, (std::vector<std::int64_t>{0, 200, 1400}));
    EXPECT_EQ(recording.Thread->FramesWritten(), 3);
}

TEST(RecordThread, FileThatCannotBeCreatedIsReportedAndTheRecordingEnds) {
    Recording recording(2, "missing/out.avi");
    recording.Run();
    ASSERT_EQ(recording.Errors.size(), 1u);
    EXPECT_EQ(recording.Errors[0].Stage, TRecordError::TStage::Open);
    EXPECT_NE(recording.Errors[0].Message.find("Cannot create file"), std::string::npos);
    EXPECT_TRUE(recording.Log.GrabTimes.empty());
    EXPECT_EQ(recording.Ends, 1);
    EXPECT_TRUE(recording.Log.Destroyed);
    EXPECT_FALSE(std::filesystem::exists(recording.File));
}

TEST(RecordThread, ErrorsRaisedByOpenAreCarriedToTheOwner) {
    Recording empty(2, "");
    empty.Run();
    ASSERT_EQ(empty.Errors.size(), 1u);
    EXPECT_EQ(empty.Errors[0].Message, "File cannot be empty");
    EXPECT_EQ(empty.Ends, 1);

    Recording zero(2, "zero.avi", 0, 48);
    zero.Run();
    ASSERT_EQ(zero.Errors.size(), 1u);
    EXPECT_EQ(zero.Errors[0].Message, "Width or height cannot equal zero");
    EXPECT_EQ(zero.Ends, 1);
}

TEST(RecordThread, AFailedWriteStopsCapturingAndWaitsForTheOwnerToEndTheRecording) {
    // A file size limit refuses writes past it, as a full disk would; the
    // header fits, then a few seconds of uncompressed frames.
    test::TempDir dir;
    const std::string avi = (dir / "limited.avi").string();
    std::optional<test::TFileSizeLimit> limit(std::in_place, 600 * 1024);
    ASSERT_TRUE(limit->Set());
    SetConfiguredCodec(TCodecKind::Raw);
    Recording recording(5, "");
    auto clock = std::make_unique<TFakeClock>();
    bool ownerEnded = false;
    // The owner ends the recording long after the failure (it stops the sound
    // first); until then the file must not have been completed behind its back.
    clock->At(60000, [&] {
        ownerEnded = true;
        EXPECT_EQ(recording.Ends, 0);
        EXPECT_TRUE(recording.Thread->CaptureFailed());
        EXPECT_EQ(recording.Thread->SavingProgress(), -1);
        recording.Thread->Terminate();
    });
    recording.Thread = std::make_unique<TRecordThread>(
        avi, TRect{0, 0, 64, 48}, "", 5,
        std::make_unique<TFakeScreen>(*clock, recording.Log, 64, 48), recording.Invoker,
        std::move(clock));
    recording.Thread->OnRecordEnd = [&](TRecordThread&) { ++recording.Ends; };
    recording.Thread->OnRecordError = [&](TRecordThread&, const TRecordError& error) {
        recording.Errors.push_back(error);
    };
    recording.Run();
    limit.reset();
    SetConfiguredCodec(TCodecKind::H264);
    EXPECT_TRUE(ownerEnded);
    ASSERT_FALSE(recording.Errors.empty());
    EXPECT_EQ(recording.Errors[0].Stage, TRecordError::TStage::Frame);
    EXPECT_LT(recording.Log.GrabTimes.size(), 100u); // capturing stopped at the failure
    EXPECT_NE(recording.Errors[0].Message.find(SystemErrorText(EFBIG)), std::string::npos)
        << recording.Errors[0].Message;
    // The recording's time ends at the failure, not when the owner ended it.
    EXPECT_LT(recording.Thread->RecordedMs(), 30000);
    EXPECT_EQ(recording.Ends, 1);
}

TEST(RecordThread, TheCursorIsDrawnOnlyWhenAskedAndVisible) {
    TCursorImage cursor;
    cursor.Visible = true;
    cursor.X = 50;
    cursor.Y = 40;
    cursor.HotX = 1;
    cursor.HotY = 2;
    cursor.Width = cursor.Height = 4;
    cursor.Pixels.assign(16, 0xFFFFFFFF);

    Recording off(5);
    off.Screen->CursorShown = cursor;
    off.StopAt(200);
    off.Run();
    EXPECT_EQ(off.Log.CursorQueries, 0);

    Recording on(5);
    on.Thread->SetRecordCursor(true);
    on.Thread->SetRecordTransparent(true);
    on.Screen->CursorShown = cursor;
    on.StopAt(200);
    on.Run();
    EXPECT_EQ(on.Log.CursorQueries, 1);
    EXPECT_TRUE(on.Log.CaptureTransparent);
    // Drawn on the full-size grab with its hot spot at the pointer.
    const auto at = [&](int x, int y) { return on.Log.LastGrab[y * 128 + x] & 0xFFFFFF; };
    EXPECT_EQ(at(49, 38), 0xFFFFFFu);
    EXPECT_EQ(at(52, 41), 0xFFFFFFu);
    EXPECT_EQ(at(48, 38), 0x204060u);
    EXPECT_EQ(at(53, 41), 0x204060u);
    EXPECT_EQ(at(49, 42), 0x204060u);
}

TEST(RecordThread, TheVideoEndsWhereTheSoundWasStoppedNotWhereTheThreadWasTold) {
    Recording recording(5);
    std::unique_ptr<TWavRecord> noSound;
    recording.Clock->At(3980, [&] { StopSoundForMerge(noSound, recording.Thread.get()); });
    // Closing the sound took long enough for slot 20 to begin.
    recording.StopAt(4050);
    recording.Run();
    EXPECT_EQ(recording.Thread->RecordedMs(), 3980);
    EXPECT_EQ(ProbeStream(recording.File, "video")["nb_frames"].toString(), "20");
    // Once ended, a late pause changes nothing.
    recording.Thread->Suspend();
    EXPECT_EQ(recording.Thread->RecordedMs(), 3980);
}

TEST(RecordThread, ATerminateBeforeTheFirstFrameStillCompletesTheFile) {
    Recording recording(1);
    recording.Thread->Terminate();
    recording.Run();
    EXPECT_TRUE(recording.Log.GrabTimes.empty());
    EXPECT_EQ(recording.Ends, 1);
    EXPECT_EQ(ProbeStreams(recording.File).size(), 1);
}

TEST(RecordThread, AScreenThatIsGoneEndsTheRecordingAsStopDoesAndSaysWhy) {
    Recording recording(5);
    recording.Screen->Changes = [](std::int64_t now) -> TScreenChanges {
        if (now >= 1000)
            throw EScreenGone("要录制的窗口已关闭");
        return {};
    };
    std::vector<std::string> reasons;
    bool endedBeforeOwner = false;
    recording.Thread->OnScreenGone = [&](TRecordThread& sender, const std::string& reason) {
        reasons.push_back(reason);
        // The owner stops the sound first; the file waits for it.
        endedBeforeOwner = recording.Ends != 0 || sender.SavingProgress() != -1;
        sender.Terminate();
    };
    recording.Run();
    EXPECT_EQ(reasons, std::vector<std::string>{"要录制的窗口已关闭"});
    EXPECT_FALSE(endedBeforeOwner);
    EXPECT_TRUE(recording.Errors.empty());
    EXPECT_TRUE(recording.Thread->ScreenGone());
    EXPECT_FALSE(recording.Thread->CaptureFailed());
    EXPECT_EQ(recording.Ends, 1);
    // The recording's time ends where the screen went: one second of slots.
    EXPECT_EQ(recording.Thread->RecordedMs(), 1000);
    EXPECT_EQ(ProbeStream(recording.File, "video")["nb_frames"].toString(), "5");
}

TEST(RecordThread, GrabsThatChangeSizeAndPadTheirRowsAreScaledToTheVideo) {
    // An uncompressed video keeps the colour exact, so a row read at the
    // wrong stride or size shows as the padding's magenta.
    SetConfiguredCodec(TCodecKind::Raw);
    Recording recording(5, "sizes.avi", 64, 48);
    const std::vector<std::pair<int, int>> sizes{{128, 96}, {37, 23}, {300, 41}, {64, 48}};
    recording.Screen->SizeOf = [&](int n) { return sizes[static_cast<std::size_t>(n) % 4]; };
    recording.Screen->RowPadding = 52;
    recording.StopAt(1600);
    recording.Run();
    SetConfiguredCodec(TCodecKind::H264);
    ASSERT_EQ(recording.Log.GrabTimes.size(), 8u);
    const ProcessResult decoded =
        RunProcess("ffmpeg", {"-v", "error", "-i", QString::fromStdString(recording.File), "-f",
                              "rawvideo", "-pix_fmt", "rgb24", "-"});
    ASSERT_EQ(decoded.ExitCode, 0) << decoded.Err.toStdString();
    ASSERT_EQ(decoded.Out.size(), 8 * 64 * 48 * 3);
    long wrong = 0;
    for (qsizetype i = 0; i < decoded.Out.size(); i += 3)
        wrong += std::abs(static_cast<std::uint8_t>(decoded.Out[i]) - 0x20) > 2 ||
                 std::abs(static_cast<std::uint8_t>(decoded.Out[i + 1]) - 0x40) > 2 ||
                 std::abs(static_cast<std::uint8_t>(decoded.Out[i + 2]) - 0x60) > 2;
    EXPECT_EQ(wrong, 0);
}

namespace {

// Splits the recording into parts of `slots` slots, named after the first.
struct Segments {
    Segments(Recording& recording, std::int64_t length) {
        recording.Thread->SetSegmentSlots(length);
        recording.Thread->OnNextSegment = [&recording, this](TRecordThread&) {
            return TSegmentFiles{
                (recording.Dir / ("part" + std::to_string(++Count) + ".avi")).string(), ""};
        };
        recording.Thread->OnSegmentBegun = [this](TRecordThread&, std::int64_t moment) {
            Moments.push_back(moment);
            return std::shared_future<double>();
        };
        recording.Thread->OnSegmentEnd = [this](TRecordThread&, const TSegmentEnd& end) {
            const std::lock_guard guard(Lock);
            Ended.push_back(end);
        };
    }
    int Count = 1;
    std::vector<std::int64_t> Moments;
    std::mutex Lock;
    std::vector<TSegmentEnd> Ended;
};

} // namespace

TEST(RecordThread, ACaptureLateAcrossAJoinLosesNoSlotInEitherFile) {
    Recording recording(5);
    Segments segments(recording, 5);
    // The capture of slot 4 runs until 1300: slot 5, the next file's first, passes.
    recording.Screen->GrabCost = [](int n) { return n == 4 ? 500 : 0; };
    recording.StopAt(2000);
    recording.Run();
    EXPECT_EQ(segments.Moments, std::vector<std::int64_t>{1000});
    ASSERT_EQ(segments.Ended.size(), 1u);
    EXPECT_TRUE(segments.Ended[0].Error.empty()) << segments.Ended[0].Error;
    EXPECT_EQ(segments.Ended[0].AviFileName, recording.File);
    for (const std::string& file : {recording.File, (recording.Dir / "part2.avi").string()}) {
        const auto video = ProbeStream(file, "video");
        EXPECT_EQ(video["nb_frames"].toString(), "5") << file;
        EXPECT_NEAR(video["duration"].toString().toDouble(), 1.0, 0.01) << file;
    }
}

TEST(RecordThread, APauseAcrossAJoinDoesNotCountTowardsThePart) {
    Recording recording(5);
    Segments segments(recording, 5);
    recording.Clock->At(900, [&] { recording.Thread->Suspend(); });
    recording.Clock->At(1900, [&] { recording.Thread->Resume(); });
    recording.StopAt(3000);
    recording.Run();
    // Slot 5 begins 1000 ms of recorded time in: 2000 on the clock.
    EXPECT_EQ(segments.Moments, std::vector<std::int64_t>{2000});
    EXPECT_EQ(ProbeStream(recording.File, "video")["nb_frames"].toString(), "5");
    EXPECT_EQ(ProbeStream(recording.Dir / "part2.avi", "video")["nb_frames"].toString(), "5");
}

// A window closed during the second part ends the recording there: the first
// part stays whole, and the second starts on a picture of its own, so it
// decodes from its first frame to where the window went.
TEST(RecordThread, AScreenGoneInALaterPartEndsItThereAndEachFileDecodes) {
    Recording recording(5);
    Segments segments(recording, 5);
    recording.Screen->Changes = [](std::int64_t now) -> TScreenChanges {
        if (now >= 1500)
            throw EScreenGone("要录制的窗口已关闭");
        return {};
    };
    recording.Thread->OnScreenGone = [](TRecordThread& sender, const std::string&) {
        sender.Terminate();
    };
    recording.Run();
    EXPECT_TRUE(recording.Thread->ScreenGone());
    EXPECT_EQ(recording.Ends, 1);
    ASSERT_EQ(segments.Ended.size(), 1u);
    const std::string second = (recording.Dir / "part2.avi").string();
    EXPECT_EQ(ProbeStream(recording.File, "video")["nb_frames"].toString(), "5");
    EXPECT_EQ(ProbeStream(second, "video")["nb_frames"].toString(), "3");
    for (const std::string& file : {recording.File, second}) {
        const ProcessResult decoded = RunProcess(
            "ffmpeg", {"-v", "error", "-i", QString::fromStdString(file), "-f", "null", "-"});
        EXPECT_EQ(decoded.ExitCode, 0) << file;
        EXPECT_TRUE(decoded.Err.isEmpty()) << file << ": " << decoded.Err.toStdString();
    }
}
