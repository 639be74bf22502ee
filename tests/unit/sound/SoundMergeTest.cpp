// The sound merged into the video file: sound from our recorder (also one
// whose header was never completed, and one from a card whose clock drifts)
// and WAV files made by other programs.
#include "engine/AviWriter.h"
#include "engine/WavRecord.h"

#include "tests/support/FakeSoundLibrary.h"
#include "tests/support/SoundAnalysis.h"
#include "tests/support/TestSupport.h"

#include <fstream>
#include <gtest/gtest.h>

using namespace vardocle;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

constexpr int kSide = 32;

QString Q(const fs::path& path) {
    return QString::fromStdString(path.string());
}

class SoundMerge : public ::testing::Test {
protected:
    // Writes Seconds of 1 fps video and merges the WAV file into it.
    bool RecordVideo(const fs::path& wav, int seconds, double soundClockRatio = 0) {
        TAviWriter writer;
        if (!writer.Open(Avi.string(), kSide, kSide, 1, wav.string()))
            return false;
        const TSourceImage image{Pixels.data(), kSide, kSide, std::ptrdiff_t{kSide} * 4,
                                 TPixelLayout::Bgr0};
        for (int i = 0; i < seconds; ++i)
            writer.WriteFrame(TFrameBitmap{image, kSide, kSide});
        writer.SetRecordedDuration(seconds * 1000LL);
        writer.SetSoundClockRatio(soundClockRatio);
        const bool closed = writer.Close();
        LastError = writer.LastError();
        return closed;
    }
    double AudioSeconds() const { return test::ProbedAudioSeconds(Avi); }
    test::WavContents MergedSound() const {
        const fs::path out = Dir / "merged.wav";
        test::RunProcess("ffmpeg", {"-v", "error", "-y", "-i", Q(Avi), "-map", "0:a", "-c:a",
                                    "pcm_s16le", Q(out)});
        return test::ReadWav(out);
    }

    test::TempDir Dir;
    fs::path Avi = Dir / "movie.avi";
    std::vector<std::uint8_t> Pixels =
        std::vector<std::uint8_t>(std::size_t{kSide} * kSide * 4, 0x80);
    std::string LastError;
};

} // namespace

TEST_F(SoundMerge, AFastCardsSoundIsFittedToTenMinutesOfVideo) {
    // The card delivers 600.6 s of sound in 600 s of wall-clock time (0.1 % fast).
    auto library = std::make_shared<test::FakeSoundLibrary>();
    std::chrono::steady_clock::time_point now{};
    const fs::path wav = Dir / "movie.Wav";
    double ratio = 0;
    {
        TWavRecord recorder(library, [&now] { return now; });
        recorder.Start(wav.string(), 400000);
        std::vector<std::uint8_t> block(17640);
        for (std::size_t i = 0; i < block.size(); i += 2)
            block[i + 1] = static_cast<std::uint8_t>(i % 64); // not silence
        constexpr int kBlocks = 6006;
        for (int i = 1; i <= kBlocks; ++i) {
            now = std::chrono::steady_clock::time_point{} +
                  std::chrono::microseconds(std::int64_t{600'000'000} * i / kBlocks);
            library->Feed(block);
        }
        recorder.Stop();
        ratio = recorder.ClockRatio();
    }
    EXPECT_NEAR(ratio, 600.0 / 600.6, 1e-5);
    EXPECT_NEAR(double(fs::file_size(wav) - 44) / kWavBytesPerSecond, 600.6, 1e-6)
        << "the WAV file keeps the blocks as they came";

    ASSERT_TRUE(RecordVideo(wav, 600, ratio)) << LastError;
    EXPECT_NEAR(test::ProbeStream(Avi, "video")["duration"].toString().toDouble(), 600.0, 0.001);
    EXPECT_NEAR(AudioSeconds(), 600.0, 0.020);
}

TEST_F(SoundMerge, SoundOnTimeIsCopiedUnchanged) {
    const fs::path wav = Dir / "tone.wav";
    ASSERT_EQ(test::RunProcess("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16", Q(wav), "synth",
                                       "5.01", "sine", "1000"})
                  .ExitCode,
              0);
    // 10 ms off the video, within what nobody notices: not touched.
    ASSERT_TRUE(RecordVideo(wav, 5, 1.0)) << LastError;
    const test::WavContents merged = MergedSound();
    const test::WavContents original = test::ReadWav(wav);
    EXPECT_EQ(merged.Samples, original.Samples);
}

TEST_F(SoundMerge, AHeaderNeverCompletedTakesItsSizesFromTheFileLength) {
    // The recorder was killed before Stop: the header still says 36 and 0.
    const fs::path wav = Dir / "killed.Wav";
    {
        const auto header = MakeWavHeader();
        std::ofstream out(wav, std::ios::binary);
        out.write(reinterpret_cast<const char*>(header.data()), header.size());
        std::vector<char> sound(std::size_t{176400} * 2, 0);
        for (std::size_t i = 0; i < sound.size(); i += 4)
            sound[i + 1] = static_cast<char>((i / 4) % 50 < 25 ? 0x20 : 0xE0); // 882 Hz square
        out.write(sound.data(), static_cast<std::streamsize>(sound.size()));
    }
    ASSERT_TRUE(RecordVideo(wav, 2)) << LastError;
    EXPECT_EQ(test::ProbeStream(Avi, "audio")["nb_frames"].toString(), "88200");
    EXPECT_NEAR(test::DominantFrequency(MergedSound().Samples, 2, 44100), 882.0, 2.0);
}

TEST_F(SoundMerge, ABrokenSoundFileIsReportedAndLeavesTheVideo) {
    const fs::path wav = Dir / "cut.Wav";
    const auto header = MakeWavHeader();
    std::ofstream(wav, std::ios::binary)
        .write(reinterpret_cast<const char*>(header.data()), 20); // ends inside "fmt "
    EXPECT_FALSE(RecordVideo(wav, 3));
    EXPECT_FALSE(LastError.empty());
    ASSERT_EQ(test::ProbeStreams(Avi).size(), 1);
    EXPECT_EQ(test::ProbeStream(Avi, "video")["nb_read_frames"].toString(), "3");
}

struct ForeignWav {
    const char* Tool;
    int Channels;
    int Bits;
    int Rate;
};

class ForeignSoundMerge : public SoundMerge, public ::testing::WithParamInterface<ForeignWav> {};

TEST_P(ForeignSoundMerge, IsCopiedWithItsOwnLayout) {
    const ForeignWav& w = GetParam();
    const fs::path wav = Dir / "other.wav";
    QStringList arguments;
    if (std::string(w.Tool) == "sox")
        arguments = {"-n",
                     "-r",
                     QString::number(w.Rate),
                     "-c",
                     QString::number(w.Channels),
                     "-b",
                     QString::number(w.Bits),
                     Q(wav),
                     "synth",
                     "2",
                     "sine",
                     "440",
                     "vol",
                     "0.5"};
    else
        arguments = {"-v",
                     "error",
                     "-y",
                     "-f",
                     "lavfi",
                     "-i",
                     QString("sine=frequency=440:duration=2:sample_rate=%1").arg(w.Rate),
                     "-ac",
                     QString::number(w.Channels),
                     "-c:a",
                     w.Bits == 8 ? "pcm_u8" : "pcm_s16le",
                     Q(wav)};
    ASSERT_EQ(test::RunProcess(w.Tool, arguments).ExitCode, 0);

    ASSERT_TRUE(RecordVideo(wav, 2)) << LastError;
    const QJsonObject audio = test::ProbeStream(Avi, "audio");
    EXPECT_EQ(audio["codec_name"].toString(), w.Bits == 8 ? "pcm_u8" : "pcm_s16le");
    EXPECT_EQ(audio["channels"].toInt(), w.Channels);
    EXPECT_EQ(audio["sample_rate"].toString().toInt(), w.Rate);
    EXPECT_EQ(audio["nb_frames"].toString().toInt(), 2 * w.Rate);
    EXPECT_NEAR(test::DominantFrequency(MergedSound().Samples, w.Channels, w.Rate), 440.0, 2.0);
}

INSTANTIATE_TEST_SUITE_P(
    FromOtherTools, ForeignSoundMerge,
    ::testing::Values(ForeignWav{"sox", 1, 8, 22050}, ForeignWav{"sox", 2, 16, 48000},
                      ForeignWav{"sox", 1, 16, 44100}, ForeignWav{"ffmpeg", 2, 8, 44100},
                      ForeignWav{"ffmpeg", 1, 16, 48000}, ForeignWav{"ffmpeg", 2, 16, 22050}),
    [](const auto& info) {
        const ForeignWav& w = info.param;
        return std::string(w.Tool) + "_" + std::to_string(w.Channels) + "ch_" +
               std::to_string(w.Bits) + "bit_" + std::to_string(w.Rate);
    });
