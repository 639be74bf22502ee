#include "engine/WavRecord.h"

#include "platform/base/Errors.h"
#include "tests/support/FakeSoundLibrary.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/TestSupport.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <vector>

using namespace vardocle;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t kBlock = 17640; // 0.1 s of 44100 Hz 16-bit stereo
constexpr std::int32_t kBufferSize = 400000;

std::vector<std::uint8_t> ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint32_t Le32(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
    return bytes[offset] | (bytes[offset + 1] << 8) | (bytes[offset + 2] << 16) |
           (static_cast<std::uint32_t>(bytes[offset + 3]) << 24);
}

std::uint16_t Le16(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
    return static_cast<std::uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

std::vector<std::uint8_t> Block(std::uint32_t number, std::uint32_t length = kBlock) {
    std::vector<std::uint8_t> block(length);
    for (std::uint32_t i = 0; i < length; ++i)
        block[i] = static_cast<std::uint8_t>(number * 31 + i);
    return block;
}

struct Reported {
    TSoundProblem Problem;
    std::string Message;
};

// A clock the test moves by hand.
struct ManualClock {
    std::chrono::steady_clock::time_point Now{};
    TSoundClock Function() {
        return [this] { return Now; };
    }
};

class WavRecordTest : public ::testing::Test {
protected:
    std::unique_ptr<TWavRecord> MakeRecorder() {
        auto recorder = std::make_unique<TWavRecord>(Library, Clock.Function());
        recorder->OnProblem = [this](TSoundProblem problem, const std::string& message) {
            Problems.push_back({problem, message});
        };
        return recorder;
    }
    // Delivers Count blocks, each Step of wall-clock time after the last.
    void FeedBlocks(std::uint32_t count, std::chrono::microseconds step = 100ms,
                    std::uint32_t first = 0) {
        for (std::uint32_t i = 0; i < count; ++i) {
            Clock.Now += step;
            ASSERT_TRUE(Library->Feed(Block(first + i)));
        }
    }

    test::TempDir Dir;
    fs::path Wav = Dir / "out.Wav";
    std::shared_ptr<test::FakeSoundLibrary> Library = std::make_shared<test::FakeSoundLibrary>();
    ManualClock Clock;
    std::vector<Reported> Problems;
};

} // namespace

TEST_F(WavRecordTest, OneMinuteOfSoundGivesACompleteHeaderAndTheBlocksInOrder) {
    auto recorder = MakeRecorder();
    recorder->Start(Wav.string(), kBufferSize);
    EXPECT_EQ(Library->StartFrequency, 44100U);
    EXPECT_EQ(Library->StartChannels, 2U);
    // A recording killed before any sound arrived still leaves a WAV file.
    EXPECT_EQ(fs::file_size(Wav), 44U) << "the header is on disk at once";
    FeedBlocks(600);
    recorder->Stop();
    EXPECT_FALSE(recorder->Recording());
    EXPECT_FALSE(Library->Recording());

    const auto bytes = ReadAll(Wav);
    ASSERT_EQ(bytes.size(), 10584044U);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
    EXPECT_EQ(Le32(bytes, 4), 10584036U);
    EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(Le32(bytes, 16), 16U);
    EXPECT_EQ(Le16(bytes, 20), 1);
    EXPECT_EQ(Le16(bytes, 22), 2);
    EXPECT_EQ(Le32(bytes, 24), 44100U);
    EXPECT_EQ(Le32(bytes, 28), 176400U);
    EXPECT_EQ(Le16(bytes, 32), 4);
    EXPECT_EQ(Le16(bytes, 34), 16);
    EXPECT_EQ(std::string(bytes.begin() + 36, bytes.begin() + 40), "data");
    EXPECT_EQ(Le32(bytes, 40), 10584000U);
    for (std::uint32_t n : {0U, 1U, 22U, 23U, 599U}) {
        const auto block = Block(n);
        EXPECT_TRUE(
            std::equal(block.begin(), block.end(), bytes.begin() + 44 + std::ptrdiff_t{n} * kBlock))
            << "block " << n;
    }
    EXPECT_TRUE(Problems.empty());
}

TEST_F(WavRecordTest, PausedBlocksAreDroppedAndAWhollyPausedRecordingHoldsTheHeaderOnly) {
    auto recorder = MakeRecorder();
    recorder->Start(Wav.string(), kBufferSize);
    FeedBlocks(10, 100ms, 0);
    recorder->Pause();
    FeedBlocks(20, 100ms, 100);
    recorder->Resume();
    FeedBlocks(5, 100ms, 10);
    recorder->Stop();
    auto bytes = ReadAll(Wav);
    ASSERT_EQ(bytes.size(), 44U + 15 * kBlock);
    EXPECT_EQ(Le32(bytes, 40), 15 * kBlock);
    const auto resumed = Block(10);
    EXPECT_TRUE(std::equal(resumed.begin(), resumed.end(),
                           bytes.begin() + 44 + std::ptrdiff_t{10} * kBlock));
    EXPECT_EQ(recorder->CoveredTime(), 1500ms) << "paused time is not covered";
    EXPECT_EQ(recorder->CoveredBytes(), 15 * kBlock);

    auto second = MakeRecorder();
    second->Pause();
    second->Start(Wav.string(), kBufferSize);
    FeedBlocks(30);
    second->Stop();
    EXPECT_TRUE(second->Paused()) << "Stop keeps the pause flag";
    bytes = ReadAll(Wav);
    ASSERT_EQ(bytes.size(), 44U);
    EXPECT_EQ(Le32(bytes, 4), 36U);
    EXPECT_EQ(Le32(bytes, 40), 0U);
}

TEST_F(WavRecordTest, APauseCutsTheSoundAtItsMomentsInsideBlocks) {
    auto recorder = MakeRecorder();
    recorder->Start(Wav.string(), kBufferSize);
    FeedBlocks(2, 100ms, 0);
    Clock.Now += 60ms;
    recorder->Pause(); // 60 ms into the third block
    FeedBlocks(1, 40ms, 2);
    FeedBlocks(10, 100ms, 3);
    Clock.Now += 70ms;
    recorder->Resume(); // 70 ms into the 14th block
    FeedBlocks(1, 30ms, 13);
    recorder->Stop();

    const auto bytes = ReadAll(Wav);
    const std::uint32_t head = 10584; // 60 ms
    const std::uint32_t tail = 5292;  // 30 ms
    ASSERT_EQ(bytes.size(), 44U + 2 * kBlock + head + tail);
    const auto third = Block(2);
    EXPECT_TRUE(std::equal(third.begin(), third.begin() + head,
                           bytes.begin() + 44 + std::ptrdiff_t{2} * kBlock));
    const auto last = Block(13);
    EXPECT_TRUE(std::equal(last.end() - tail, last.end(), bytes.end() - tail));
}

TEST_F(WavRecordTest, StopIsIdleWithoutARecordingAndASecondStartIsIgnored) {
    auto recorder = MakeRecorder();
    recorder->Stop(); // nothing to stop
    EXPECT_EQ(std::count(Library->Calls.begin(), Library->Calls.end(), "ChannelStop"), 0);

    recorder->Start(Wav.string(), kBufferSize);
    FeedBlocks(3);
    const fs::path other = Dir / "other.Wav";
    recorder->Start(other.string(), kBufferSize);
    EXPECT_FALSE(fs::exists(other));
    EXPECT_EQ(recorder->WavFileName(), Wav.string());
    FeedBlocks(2, 100ms, 3);
    recorder->Stop();
    recorder->Stop();
    EXPECT_EQ(std::count(Library->Calls.begin(), Library->Calls.end(), "ChannelStop"), 1);
    EXPECT_EQ(fs::file_size(Wav), 44U + 5 * kBlock);
}

TEST_F(WavRecordTest, TheLastInputThatIsOnBecomesTheOnlyOneOnWithVolumesUntouched) {
    Library->Inputs = {{"Mic", true, 0.3F}, {"Line", false, 0.6F}, {"Capture", true, 0.9F}};
    auto recorder = MakeRecorder();
    EXPECT_EQ(recorder->CurrentInput(), 2);
    EXPECT_FALSE(Library->Inputs[0].On);
    EXPECT_FALSE(Library->Inputs[1].On);
    EXPECT_TRUE(Library->Inputs[2].On);
    EXPECT_FLOAT_EQ(Library->Inputs[0].Volume, 0.3F);
    EXPECT_FLOAT_EQ(Library->Inputs[1].Volume, 0.6F);
    EXPECT_FLOAT_EQ(Library->Inputs[2].Volume, 0.9F);
    for (const auto& change : Library->Switches)
        EXPECT_EQ(change.Volume, kVolumeUnchanged);

    Library->Switches.clear();
    recorder->SelectInput(2);
    EXPECT_TRUE(Library->Switches.empty()) << "selecting the current input changes nothing";
}

TEST_F(WavRecordTest, NoInputOnOrAnotherLibraryVersionChangesNoInput) {
    Library->Inputs = {{"Mic", false}, {"Line", false}};
    auto none = MakeRecorder();
    EXPECT_EQ(none->CurrentInput(), -1);
    EXPECT_TRUE(Library->Switches.empty());
    none.reset();

    auto other = std::make_shared<test::FakeSoundLibrary>();
    other->Version = 0x02030000;
    other->Inputs = {{"Mic", true}};
    Library = other;
    auto recorder = MakeRecorder();
    EXPECT_TRUE(other->Switches.empty());
    EXPECT_EQ(std::count(other->Calls.begin(), other->Calls.end(), "RecordInit"), 0);
    recorder->Start(Wav.string(), kBufferSize);
    recorder->Stop();
    const auto bytes = ReadAll(Wav);
    ASSERT_EQ(bytes.size(), 44U);
    EXPECT_EQ(Le32(bytes, 4), 36U);
    ASSERT_EQ(Problems.size(), 1U);
    EXPECT_EQ(Problems[0].Problem, TSoundProblem::NoDevice);
}

TEST_F(WavRecordTest, AnUnusableDeviceIsReportedOnceAndTheRecordingGoesOn) {
    Library->RecordInitResult = false;
    auto recorder = MakeRecorder();
    EXPECT_EQ(Library->Calls, (std::vector<std::string>{"RecordInit", "RecordFree", "Free"}));
    recorder->Start(Wav.string(), kBufferSize);
    EXPECT_TRUE(recorder->Recording());
    ASSERT_EQ(Problems.size(), 1U);
    EXPECT_EQ(Problems[0].Problem, TSoundProblem::NoDevice);
    EXPECT_EQ(Problems[0].Message, "没有可用的录音设备，本次录制没有声音。");
    recorder->Stop();
    EXPECT_EQ(Problems.size(), 1U) << "told once, not again at Stop";
    EXPECT_EQ(fs::file_size(Wav), 44U);

    // A device that refuses to start recording is the same to the user.
    auto refusing = std::make_shared<test::FakeSoundLibrary>();
    refusing->StartFails = true;
    Library = refusing;
    Problems.clear();
    auto second = MakeRecorder();
    second->Start(Wav.string(), kBufferSize);
    second->Stop();
    ASSERT_EQ(Problems.size(), 1U);
    EXPECT_EQ(Problems[0].Problem, TSoundProblem::NoDevice);
}

TEST_F(WavRecordTest, DestructionStopsThenReleasesTheDeviceAndTheLibrary) {
    {
        auto recorder = MakeRecorder();
        recorder->Start(Wav.string(), kBufferSize);
        FeedBlocks(2);
        Library->Calls.clear();
    }
    EXPECT_EQ(Library->Calls, (std::vector<std::string>{"ChannelStop", "RecordFree", "Free"}));
    const auto bytes = ReadAll(Wav);
    ASSERT_EQ(bytes.size(), 44U + 2 * kBlock);
    EXPECT_EQ(Le32(bytes, 40), 2 * kBlock);
}

TEST_F(WavRecordTest, AFileThatCannotBeCreatedRaisesBeforeRecording) {
    auto recorder = MakeRecorder();
    const fs::path bad = Dir / "missing" / "out.Wav";
    EXPECT_THROW(recorder->Start(bad.string(), kBufferSize), EFCreateError);
    EXPECT_FALSE(recorder->Recording());
    EXPECT_EQ(std::count(Library->Calls.begin(), Library->Calls.end(), "RecordStart"), 0);
    // The recorder is unchanged and can still record.
    recorder->Start(Wav.string(), kBufferSize);
    FeedBlocks(1);
    recorder->Stop();
    EXPECT_EQ(fs::file_size(Wav), 44U + kBlock);
}

TEST_F(WavRecordTest, ADeviceThatGoesAwayKeepsWhatWasRecordedAndIsReported) {
    auto recorder = MakeRecorder();
    recorder->Start(Wav.string(), kBufferSize);
    FeedBlocks(7);
    Library->LoseDevice();
    recorder->Stop();
    const auto bytes = ReadAll(Wav);
    ASSERT_EQ(bytes.size(), 44U + 7 * kBlock);
    EXPECT_EQ(Le32(bytes, 40), 7 * kBlock);
    ASSERT_EQ(Problems.size(), 1U);
    EXPECT_EQ(Problems[0].Problem, TSoundProblem::DeviceLost);
}

TEST_F(WavRecordTest, TheSizeLimitCutsTheSoundAtAWholeFrameAndIsReported) {
    auto recorder = MakeRecorder();
    recorder->SetFileSizeLimit(44 + 10 * kBlock + 6);
    recorder->Start(Wav.string(), kBufferSize);
    FeedBlocks(12);
    recorder->Stop();
    const auto bytes = ReadAll(Wav);
    ASSERT_EQ(bytes.size(), 44U + 10 * kBlock + 4);
    EXPECT_EQ(Le32(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(Le32(bytes, 40), 10 * kBlock + 4);
    ASSERT_EQ(Problems.size(), 1U);
    EXPECT_EQ(Problems[0].Problem, TSoundProblem::SizeLimit);
    EXPECT_EQ(recorder->CoveredBytes(), 10 * kBlock + 4);
}

TEST_F(WavRecordTest, AFailedDiskWriteStopsTheSoundWhereTheFileEnds) {
    // A file size limit makes the disk refuse writes past it, as a full disk would.
    constexpr rlim_t kLimit = 100002;
    {
        const test::TFileSizeLimit limit(kLimit);
        ASSERT_TRUE(limit.Set());
        auto recorder = MakeRecorder();
        recorder->Start(Wav.string(), 40000);
        FeedBlocks(20);
        recorder->Stop();
    }

    const auto bytes = ReadAll(Wav);
    const std::uint32_t data = (kLimit - 44) / 4 * 4;
    ASSERT_EQ(bytes.size(), 44U + data) << "cut back to whole frames";
    EXPECT_EQ(Le32(bytes, 4), 36U + data);
    EXPECT_EQ(Le32(bytes, 40), data);
    ASSERT_EQ(Problems.size(), 1U);
    EXPECT_EQ(Problems[0].Problem, TSoundProblem::WriteFailed);
    EXPECT_NE(Problems[0].Message.find(SystemErrorText(EFBIG)), std::string::npos);
}

TEST_F(WavRecordTest, CoveredTimeFollowsTheWallClockWhenTheDeviceRunsFast) {
    auto recorder = MakeRecorder();
    recorder->Start(Wav.string(), kBufferSize);
    // 0.1 s blocks arriving every 99.9 ms: the device's clock is 0.1 % fast.
    FeedBlocks(3000, 99900us);
    recorder->Pause();
    FeedBlocks(50, 99900us);
    recorder->Resume();
    FeedBlocks(3000, 99900us);
    recorder->Stop();
    // Two stretches of 300 s of sound, each taking 299.7 s of wall-clock time.
    EXPECT_NEAR(std::chrono::duration<double>(recorder->CoveredTime()).count(), 599.4, 0.001);
    EXPECT_NEAR(recorder->ClockRatio(), 0.999, 1e-6);
    EXPECT_EQ(recorder->CoveredBytes(), 6000LL * kBlock);
}

TEST_F(WavRecordTest, TheSoundIsOnDiskWithinHalfASecondOfArrivingPausedOrNot) {
    // A killed recording keeps all but its last half second of sound,
    // although the buffer could hold 2.3 s of it.
    auto recorder = MakeRecorder();
    recorder->Start(Wav.string(), kBufferSize);
    std::uintmax_t kept = 0;
    for (std::uint32_t block = 0; block < 50; ++block) {
        if (block == 30)
            recorder->Pause();
        FeedBlocks(1, 100ms, block);
        kept = 44 + std::min<std::uint32_t>(block + 1, 30) * kBlock;
        EXPECT_LT(kept - fs::file_size(Wav), 5 * kBlock) << "after block " << block;
    }
    recorder->Stop();
    EXPECT_EQ(fs::file_size(Wav), kept);
}

TEST_F(WavRecordTest, TheFirstBlockLinesUpWithTheRecordingsStart) {
    const auto start = Clock.Now + 150ms;
    auto mark = std::make_shared<TRecordStart>();
    auto recorder = MakeRecorder();
    recorder->LineUpWith(mark);
    recorder->Start(Wav.string(), kBufferSize);
    // Taken before the recording's time began: dropped.
    FeedBlocks(1, 100ms, 0);
    mark->Set(start);
    // Taken from 100 to 200 ms: its first half came before the start.
    FeedBlocks(2, 100ms, 1);
    recorder->Stop();
    std::vector<std::uint8_t> bytes = ReadAll(Wav);
    ASSERT_EQ(bytes.size(), 44 + kBlock / 2 + kBlock);
    const auto second = Block(1);
    EXPECT_TRUE(std::equal(second.begin() + kBlock / 2, second.end(), bytes.begin() + 44));

    // A device that delivers its first block a second after the start: the
    // 0.9 s before that block are silence, and the clock is still the card's.
    mark = std::make_shared<TRecordStart>();
    recorder = MakeRecorder();
    recorder->LineUpWith(mark);
    recorder->Start(Wav.string(), kBufferSize);
    mark->Set(Clock.Now);
    FeedBlocks(1, 1000ms, 7);
    FeedBlocks(9, 100ms, 8);
    recorder->Stop();
    bytes = ReadAll(Wav);
    const std::size_t silence = kBlock * 9;
    ASSERT_EQ(bytes.size(), 44 + silence + 10 * kBlock);
    EXPECT_TRUE(std::all_of(bytes.begin() + 44, bytes.begin() + 44 + silence,
                            [](std::uint8_t byte) { return byte == 0; }));
    const auto first = Block(7);
    EXPECT_TRUE(std::equal(first.begin(), first.end(), bytes.begin() + 44 + silence));
    EXPECT_NEAR(recorder->ClockRatio(), 1.0, 1e-6);
}

// A microphone muted at the start gives exact zeros: told once after ten
// seconds of them; a live one, however quiet, is never told about.
TEST_F(WavRecordTest, AMicrophoneSilentToTheLastBitForTenSecondsIsToldOnce) {
    int told = 0;
    auto recorder = MakeRecorder();
    recorder->OnSilentStart = [&] { ++told; };
    recorder->Start(Wav.string(), kBufferSize);
    const std::vector<std::uint8_t> zeros(kBlock, 0);
    for (int i = 0; i < 99; ++i)
        ASSERT_TRUE(Library->Feed(zeros));
    EXPECT_EQ(told, 0);
    for (int i = 0; i < 50; ++i)
        ASSERT_TRUE(Library->Feed(zeros));
    recorder->Stop();
    EXPECT_EQ(told, 1);

    told = 0;
    recorder->Start((Dir / "live.Wav").string(), kBufferSize);
    FeedBlocks(150);
    recorder->Stop();
    EXPECT_EQ(told, 0);
}
