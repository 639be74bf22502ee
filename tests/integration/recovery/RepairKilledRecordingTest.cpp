// vardocle-record killed with kill -9 at the moments a user's recorder might
// die, a known tone playing into the microphone, then `--repair`: the file
// must decode, last the recorded time, hold the tone in step with the video,
// and leave no sound file or half-written merge behind.
#include "tests/support/ProgramPaths.h"
#include "tests/support/SoundAnalysis.h"
#include "tests/support/TestSupport.h"

#include <QFile>
#include <QProcess>

#include <csignal>
#include <gtest/gtest.h>
#include <thread>

using namespace vardocle;
using namespace std::chrono_literals;
using vardocle::test::Q;
using vardocle::test::Recorder;
namespace fs = std::filesystem;

namespace {

class RepairKilledRecording : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveDisplay() || test::RunProcess("pactl", {"info"}, 10s).ExitCode != 0) {
            if (test::DesktopPromised())
                FAIL() << "no X server or sound server although the run promised them";
            GTEST_SKIP() << "needs an X server and a sound server";
        }
        ASSERT_EQ(test::RunProcess("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16", Q(Tone),
                                           "synth", "8", "sine", "1000", "vol", "0.5"})
                      .ExitCode,
                  0);
    }
    void TearDown() override {
        if (Player.state() != QProcess::NotRunning) {
            Player.kill();
            Player.waitForFinished(5000);
        }
    }
    void Start(const QStringList& arguments) {
        Recording.start(Recorder(), QStringList{Q(Avi), "--rate", "5"} + arguments);
        ASSERT_TRUE(Recording.waitForStarted(5000));
        // The tone plays once the recorder's sound device runs.
        std::this_thread::sleep_for(700ms);
        Player.start("paplay", {Q(Tone)});
        ASSERT_TRUE(Player.waitForStarted(5000));
    }
    void Signal(int signalNumber) {
        ::kill(static_cast<pid_t>(Recording.processId()), signalNumber);
    }
    void Kill() {
        Signal(SIGKILL);
        ASSERT_TRUE(Recording.waitForFinished(10000));
        ASSERT_EQ(Recording.exitStatus(), QProcess::CrashExit);
    }
    // Repairs and checks the file as a user's player would see it.
    void RepairAndCheck(double recordedSeconds) {
        const test::ProcessResult repair = test::RunProcess(Recorder(), {"--repair", Q(Avi)}, 120s);
        const std::string out = repair.Out.toStdString();
        ASSERT_EQ(repair.ExitCode, 0) << out << repair.Err.toStdString();
        EXPECT_NE(out.find(Avi.string()), std::string::npos) << out;
        EXPECT_FALSE(fs::exists(Wav)) << out;
        EXPECT_FALSE(fs::exists(Avi.string() + ".merging")) << out;
        EXPECT_FALSE(fs::exists(Avi.string() + ".repairing")) << out;

        const test::ProcessResult decode =
            test::RunProcess("ffmpeg", {"-v", "error", "-i", Q(Avi), "-f", "null", "-"}, 120s);
        EXPECT_EQ(decode.ExitCode, 0);
        EXPECT_TRUE(decode.Err.isEmpty()) << decode.Err.toStdString();
        const double video = test::ProbeStream(Avi, "video")["duration"].toString().toDouble();
        EXPECT_NEAR(video, recordedSeconds, 1.0) << out;
        const double audio = test::ProbedAudioSeconds(Avi);
        EXPECT_NEAR(audio, video, 0.5) << out;

        const fs::path sound = Dir / "sound.wav";
        test::RunProcess("ffmpeg", {"-v", "error", "-y", "-i", Q(Avi), "-map", "0:a", Q(sound)});
        const test::WavContents wav = test::ReadWav(sound);
        EXPECT_NEAR(test::DominantFrequency(wav.Samples, 2, 44100), 1000.0, 20.0);
        EXPECT_GT(test::PeakLevel(wav.Samples), 12000);
    }

    test::TempDir Dir;
    fs::path Avi = Dir / "rec.avi";
    fs::path Wav = Dir / "rec.Wav";
    fs::path Tone = Dir / "tone.wav";
    QProcess Recording;
    QProcess Player;
};

} // namespace

TEST_F(RepairKilledRecording, MidRecording) {
    Start({"--codec", "h264"});
    std::this_thread::sleep_for(3300ms);
    Kill();
    EXPECT_TRUE(fs::exists(Wav));
    RepairAndCheck(4.0);
}

TEST_F(RepairKilledRecording, WhilePaused) {
    Start({"--codec", "mjpeg"});
    std::this_thread::sleep_for(2300ms);
    Signal(SIGUSR1);
    std::this_thread::sleep_for(1500ms);
    Kill();
    RepairAndCheck(3.0);
}

// Stop, then the kill when the merge has begun (its copy of the video is on
// disk); a large uncompressed video gives the merge time to be caught.
TEST_F(RepairKilledRecording, DuringTheMerge) {
    Start({"--codec", "raw", "--size", "1024x768"});
    std::this_thread::sleep_for(3300ms);
    const fs::path merging = Avi.string() + ".merging";
    Signal(SIGINT);
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (!fs::exists(merging) && Recording.state() != QProcess::NotRunning &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    ASSERT_TRUE(fs::exists(merging)) << "the merge was not caught in the act";
    Kill();
    EXPECT_TRUE(fs::exists(Wav));
    RepairAndCheck(4.0);
}

TEST_F(RepairKilledRecording, RandomBytesAndBadCommandLinesAreRefused) {
    QByteArray random(20000, 0);
    for (int i = 0; i < random.size(); ++i)
        random[i] = static_cast<char>((i * 2654435761u) >> 13);
    QFile file(Q(Avi));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(random);
    file.close();
    const test::ProcessResult refused = test::RunProcess(Recorder(), {"--repair", Q(Avi)});
    EXPECT_EQ(refused.ExitCode, 1);
    EXPECT_NE(refused.Out.toStdString().find("不是 AVI 文件"), std::string::npos);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), random);
    EXPECT_EQ(test::RunProcess(Recorder(), {"--repair"}).ExitCode, 2);
    EXPECT_EQ(test::RunProcess(Recorder(), {"--repair", Q(Avi), "other.avi"}).ExitCode, 2);
}
