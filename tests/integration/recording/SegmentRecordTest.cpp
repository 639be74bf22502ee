// vardocle-record splitting a recording by time, and stopping before the
// disk is full, as a user runs it: a tone plays into the private sound
// server, ffprobe and ffmpeg read the files back.
#include "tests/support/ProgramPaths.h"
#include "tests/support/SmallDisk.h"
#include "tests/support/SoundAnalysis.h"
#include "tests/support/TestSupport.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>

#include <cmath>
#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>

using namespace vardocle;
using namespace std::chrono_literals;
using vardocle::test::Q;
using vardocle::test::Recorder;
namespace fs = std::filesystem;

namespace {

double VideoSeconds(const fs::path& avi) {
    return test::ProbeStream(avi, "video")["duration"].toString().toDouble();
}

std::vector<std::int16_t> LeftChannel(const fs::path& avi, const fs::path& dir) {
    const fs::path out = dir / "part.wav";
    test::RunProcess("ffmpeg", {"-v", "error", "-y", "-i", Q(avi), "-map", "0:a", Q(out)});
    const std::vector<std::int16_t> both = test::ReadWav(out).Samples;
    std::vector<std::int16_t> left;
    for (std::size_t i = 0; i < both.size(); i += 2)
        left.push_back(both[i]);
    return left;
}

QByteArray Digest(const fs::path& file) {
    QFile in(Q(file));
    in.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(in.readAll(), QCryptographicHash::Sha256);
}

// Waits until the recorder's standard error holds `text`.
bool WaitForText(QProcess& process, std::string& err, const std::string& text,
                 std::chrono::seconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (err.find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        process.waitForReadyRead(100);
        err += process.readAllStandardError().toStdString();
    }
    return true;
}

class SegmentRecord : public ::testing::Test {
protected:
    void SetUp() override {
        VARDOCLE_REQUIRE_DISPLAY_AND_SOUND();
        ASSERT_EQ(test::RunProcess("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16", Q(Tone),
                                           "synth", "12", "sine", "1000", "vol", "0.5"})
                      .ExitCode,
                  0);
    }
    test::TempDir Dir;
    fs::path Avi = Dir / "课程.avi";
    fs::path Tone = Dir / "tone.wav";
};

} // namespace

TEST_F(SegmentRecord, ThreeFilesJoinWithoutLosingASlotOrASoundSample) {
    // A name in use is skipped, never replaced.
    const fs::path taken = Dir / "课程-002.avi";
    std::ofstream(taken) << "not ours";
    QProcess tone;
    tone.start("paplay", {Q(Tone)});
    std::this_thread::sleep_for(300ms);
    const test::ProcessResult result = test::RunProcess(
        Recorder(), {Q(Avi), "--seconds", "5.5", "--rate", "5", "--segment-seconds", "2"}, 60s);
    tone.kill();
    tone.waitForFinished();
    ASSERT_EQ(result.ExitCode, 0) << result.Err.toStdString();
    EXPECT_EQ(fs::file_size(taken), 8u) << "a file in use stays as it was";
    const std::vector<fs::path> parts{Avi, Dir / "课程-003.avi", Dir / "课程-004.avi"};
    EXPECT_FALSE(fs::exists(Dir / "课程-005.avi"));

    double videoTotal = 0;
    std::vector<std::int16_t> joined;
    std::vector<std::size_t> joins;
    for (const fs::path& part : parts) {
        ASSERT_TRUE(fs::exists(part)) << part;
        EXPECT_FALSE(fs::exists(fs::path(part).replace_extension(".Wav"))) << part;
        const double video = VideoSeconds(part);
        const std::vector<std::int16_t> sound = LeftChannel(part, Dir.Path());
        // The sound of a file that ends at a join is cut to the sample; the
        // last one ends as Stop ends any recording.
        EXPECT_NEAR(static_cast<double>(sound.size()) / 44100, video,
                    part == parts.back() ? 0.2 : 0.03)
            << part;
        videoTotal += video;
        joined.insert(joined.end(), sound.begin(), sound.end());
        joins.push_back(joined.size());
    }
    EXPECT_NEAR(VideoSeconds(parts[0]), 2.0, 0.01);
    EXPECT_NEAR(VideoSeconds(parts[1]), 2.0, 0.01);
    // The recording ran 5.5 s: the files together last that, within a slot.
    EXPECT_NEAR(videoTotal, 5.5, 0.2);
    // A pure tone obeys x[n+1] + x[n-1] = 2cos(w) x[n]: a sample lost or
    // repeated at a join breaks that there.
    const double twoCos = 2 * std::cos(2 * M_PI * 1000 / 44100);
    auto worst = [&](std::size_t from, std::size_t to) {
        double most = 0;
        for (std::size_t i = std::max<std::size_t>(from, 1); i + 1 < to; ++i)
            most = std::max(most, std::abs(joined[i + 1] + joined[i - 1] - twoCos * joined[i]));
        return most;
    };
    for (std::size_t j = 0; j + 1 < joins.size(); ++j) {
        EXPECT_GT(worst(joins[j] - 4000, joins[j] - 100), 0) << "the tone plays at join " << j;
        EXPECT_LT(worst(joins[j] - 100, joins[j] + 100), 50) << "join " << j;
    }
}

TEST_F(SegmentRecord, AKillInTheSecondFileLeavesTheFirstAsItWasAndLosesUnderASecond) {
    QProcess recorder;
    recorder.start(Recorder(), {Q(Avi), "--rate", "5", "--segment-seconds", "3"});
    ASSERT_TRUE(recorder.waitForStarted(5000));
    std::string err;
    ASSERT_TRUE(WaitForText(recorder, err, "已保存", 20s)) << err;
    const QByteArray first = Digest(Avi);
    std::this_thread::sleep_for(2s); // 2 s into the second file
    ::kill(static_cast<pid_t>(recorder.processId()), SIGKILL);
    recorder.waitForFinished(5000);

    const fs::path second = Dir / "课程-002.avi";
    const test::ProcessResult repair = test::RunProcess(Recorder(), {"--repair", Q(second)}, 60s);
    EXPECT_EQ(repair.ExitCode, 0) << repair.Out.toStdString();
    EXPECT_EQ(Digest(Avi), first) << "the first file is untouched";
    EXPECT_NEAR(VideoSeconds(Avi), 3.0, 0.01);
    EXPECT_GE(VideoSeconds(second), 1.0) << "at most a second of the 2 s lost";
    EXPECT_GE(test::ProbedAudioSeconds(second), 1.0);
}

TEST_F(SegmentRecord, ARecordingEndsAsStopDoesBeforeTheDiskIsFull) {
    // Under 400 MB from the start: the warning comes at once; another
    // program then fills the disk below 200 MB while the recording runs.
    test::TSmallDisk disk(260);
    VARDOCLE_REQUIRE_SMALL_DISK(disk);
    test::TChangingScreen changing;
    const fs::path avi = disk / "long.avi";
    QProcess recorder;
    recorder.start(Recorder(), {Q(avi), "--rate", "5"});
    ASSERT_TRUE(recorder.waitForStarted(5000));
    std::string err;
    ASSERT_TRUE(WaitForText(recorder, err, "磁盘空间不足", 10s)) << err;
    std::this_thread::sleep_for(2s);
    {
        std::ofstream filler(disk / "other.bin", std::ios::binary);
        const std::string block(1 << 20, 'x');
        for (int i = 0; i < 70; ++i)
            filler << block;
    }
    ASSERT_TRUE(recorder.waitForFinished(20000)) << "the recording goes on below 200 MB";
    err += recorder.readAllStandardError().toStdString();
    EXPECT_EQ(recorder.exitCode(), 1) << err;
    EXPECT_EQ(err.find("磁盘空间不足"), err.rfind("磁盘空间不足")) << "told once: " << err;
    EXPECT_NE(err.find("录制已停止，录像已保存到 " + avi.string()), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(disk / "long.Wav")) << "the sound is merged";
    EXPECT_EQ(test::ProbeStreams(avi).size(), 2);
    EXPECT_GT(VideoSeconds(avi), 1.5);
}

TEST(SegmentRecordInput, BadValuesAreRefusedWithExitStatusTwo) {
    for (const QStringList& arguments :
         {QStringList{"out.avi", "--segment", "0"}, QStringList{"out.avi", "--segment", "abc"},
          QStringList{"out.avi", "--segment", "1441"}, QStringList{"out.avi", "--segment"}}) {
        const test::ProcessResult result = test::RunProcess(Recorder(), arguments, 10s);
        EXPECT_EQ(result.ExitCode, 2) << arguments.join(' ').toStdString();
        EXPECT_NE(result.Err.toStdString().find("--segment"), std::string::npos);
    }
}
