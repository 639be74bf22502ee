// A sound device whose first block comes a second late (its source is
// suspended when the recording starts and wakes a second later): the sound
// still lines up with the recording's start, so a click lands where it does
// when the device answers at once.
#include "engine/WavRecord.h"
#include "tests/integration/sound/CountingSoundLibrary.h"
#include "tests/support/SoundAnalysis.h"
#include "tests/support/TestSupport.h"

#include <cmath>
#include <gtest/gtest.h>
#include <thread>

using namespace vardocle;
using namespace std::chrono_literals;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

class FirstBlock : public ::testing::Test {
protected:
    void SetUp() override {
        if (test::RunProcess("pactl", {"info"}, 10s).ExitCode != 0) {
            if (test::DesktopPromised())
                FAIL() << "no sound server although the run promised one";
            GTEST_SKIP() << "needs a sound server";
        }
        ASSERT_EQ(test::RunProcess("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16",
                                           QString::fromStdString(Click.string()), "synth", "0.05",
                                           "sine", "1000", "vol", "0.8"})
                      .ExitCode,
                  0);
    }
    void TearDown() override { Suspend(false); }

    static void Suspend(bool on) {
        test::RunProcess("pactl", {"suspend-sink", "testsink", on ? "1" : "0"}, 10s);
    }

    // Where the click is heard in the recording, less when it was played
    // after the recording's start; nothing when no click was found.
    std::optional<double> ClickOffset(bool lateDevice) {
        if (lateDevice)
            Suspend(true);
        auto library = std::make_shared<test::CountingSoundLibrary>(CreateSystemSoundLibrary());
        auto start = std::make_shared<TRecordStart>();
        TWavRecord recorder(library);
        recorder.LineUpWith(start);
        recorder.Start(Wav.string(), 400000);
        const Clock::time_point begun = Clock::now();
        start->Set(begun);
        if (lateDevice) {
            std::this_thread::sleep_for(1s);
            Suspend(false);
        }
        EXPECT_TRUE(library->WaitForBlocks(1, 5s)) << "no sound arrived";
        std::this_thread::sleep_until(begun + 2s);
        const double played = std::chrono::duration<double>(Clock::now() - begun).count();
        test::RunProcess("paplay", {QString::fromStdString(Click.string())}, 10s);
        std::this_thread::sleep_until(begun + 3s);
        recorder.Stop();
        const test::WavContents sound = test::ReadWav(Wav);
        for (std::size_t i = 0; i < sound.Samples.size(); ++i) {
            if (std::abs(sound.Samples[i]) > 8000)
                return static_cast<double>(i / 2) / 44100.0 - played;
        }
        return std::nullopt;
    }

    test::TempDir Dir;
    fs::path Wav = Dir / "sound.Wav";
    fs::path Click = Dir / "click.wav";
};

} // namespace

TEST_F(FirstBlock, ALateDeviceIsLinedUpWithTheStartWithin50Milliseconds) {
    const std::optional<double> awake = ClickOffset(false);
    const std::optional<double> late = ClickOffset(true);
    ASSERT_TRUE(awake && late) << "the click was not recorded";
    std::printf("click offset: device awake %.3f s, device a second late %.3f s\n", *awake, *late);
    EXPECT_NEAR(*late, *awake, 0.05);
}
