// Records the sound server's "microphone" (the monitor of a null sink) while a
// known tone plays into the sink, through the recorder and the ALSA backend.
#include "engine/WavRecord.h"
#include "platform/sound/AlsaSoundLibrary.h"
#include "tests/integration/sound/CountingSoundLibrary.h"
#include "tests/support/SoundAnalysis.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace vardocle;
using namespace std::chrono_literals;

namespace {

bool HaveSoundServer() {
    return test::RunProcess("pactl", {"info"}, 10s).ExitCode == 0;
}

#define REQUIRE_SOUND_SERVER()                                                                     \
    do {                                                                                           \
        if (!HaveSoundServer()) {                                                                  \
            if (test::DesktopPromised())                                                           \
                FAIL() << "no sound server although the run promised one";                         \
            GTEST_SKIP() << "no sound server";                                                     \
        }                                                                                          \
    } while (0)

} // namespace

TEST(RecordTone, AToneFromTheSoundServerArrivesInTheWavFileUnchanged) {
    REQUIRE_SOUND_SERVER();
    test::TempDir dir;
    const auto tone = dir / "tone.wav";
    ASSERT_EQ(test::RunProcess("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16",
                                       QString::fromStdString(tone.string()), "synth", "3", "sine",
                                       "1000", "vol", "0.5"})
                  .ExitCode,
              0);

    auto library = std::make_shared<test::CountingSoundLibrary>(CreateSystemSoundLibrary());
    std::vector<TSoundProblem> problems;
    const auto wav = dir / "out.Wav";
    {
        TWavRecord recorder(library);
        recorder.OnProblem = [&](TSoundProblem problem, const std::string&) {
            problems.push_back(problem);
        };
        recorder.Start(wav.string(), 400000);
        ASSERT_TRUE(recorder.Recording());
        ASSERT_TRUE(library->WaitForBlocks(1, 5s)) << "no sound arrived from the server";
        const auto played =
            test::RunProcess("paplay", {QString::fromStdString(tone.string())}, 20s);
        ASSERT_EQ(played.ExitCode, 0) << played.Err.toStdString();
        std::this_thread::sleep_for(300ms);
        recorder.Stop();
        EXPECT_EQ(recorder.Overruns(), 0U);

        // The blocks' wall-clock time and their length agree on a clock that
        // does not drift (the server's null sink runs on the system clock).
        const double seconds = double(recorder.CoveredBytes()) / kWavBytesPerSecond;
        EXPECT_NEAR(std::chrono::duration<double>(recorder.CoveredTime()).count(), seconds, 0.1);
    }
    EXPECT_TRUE(problems.empty());
    // One period of 0.1 s per block; only the sound taken since the last
    // period, delivered at Stop, may be shorter.
    EXPECT_EQ(library->LongestBlock.load(), 17640U);
    EXPECT_LE(library->ShortBlocks.load(), 1);
    if (library->ShortBlocks == 1) {
        EXPECT_LT(library->LastBlock.load(), 17640U);
    }

    const test::WavContents contents = test::ReadWav(wav);
    ASSERT_TRUE(contents.Valid);
    EXPECT_EQ(contents.FormatTag, 1);
    EXPECT_EQ(contents.Channels, 2);
    EXPECT_EQ(contents.SampleRate, 44100U);
    EXPECT_EQ(contents.BitsPerSample, 16);
    EXPECT_EQ(contents.DataOffset, 44U);
    EXPECT_EQ(contents.RiffSize, contents.FileSize - 8);
    EXPECT_EQ(contents.DataSize, contents.FileSize - 44);
    EXPECT_EQ(contents.DataSize % 4, 0U) << "whole frames";
    EXPECT_GE(contents.DataSize, 3U * 176400) << "the whole tone is there";
    EXPECT_NEAR(test::DominantFrequency(contents.Samples, 2, 44100), 1000.0, 20.0);
    EXPECT_NEAR(test::DominantFrequency(contents.Samples, 2, 44100, 1), 1000.0, 20.0);
    EXPECT_GT(test::PeakLevel(contents.Samples), 12000) << "played at half of full scale";
}

TEST(RecordTone, TheServersInputSwitchIsFoundAndLeftOn) {
    REQUIRE_SOUND_SERVER();
    auto library = std::make_shared<TAlsaSoundLibrary>();
    TWavRecord recorder(library);
    // Through the sound server the one input is the source's capture switch.
    ASSERT_TRUE(library->RecordGetInputName(0).has_value());
    EXPECT_EQ(recorder.CurrentInput(), 0);
    float volume = -1.0F;
    EXPECT_EQ(library->RecordGetInput(0, &volume), 0) << "on";
    EXPECT_GE(volume, 0.0F);
    EXPECT_FALSE(library->RecordGetInputName(1).has_value());
    EXPECT_FALSE(library->RecordSetInput(1, kInputOff, kVolumeUnchanged));
}
