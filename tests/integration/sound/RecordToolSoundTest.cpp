// vardocle-record with sound, as a user runs it: the private sound server's
// "microphone" hears a tone played into it, ffprobe and ffmpeg read the file.
#include "tests/support/ProgramPaths.h"
#include "tests/support/SoundAnalysis.h"
#include "tests/support/TestSupport.h"

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

bool HaveSoundServer() {
    return test::RunProcess("pactl", {"info"}, 10s).ExitCode == 0;
}

class RecordToolSound : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveDisplay() || !HaveSoundServer()) {
            if (test::DesktopPromised())
                FAIL() << "no X server or sound server although the run promised them";
            GTEST_SKIP() << "needs an X server and a sound server";
        }
        ASSERT_EQ(test::RunProcess("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16", Q(Tone),
                                           "synth", "3", "sine", "1000", "vol", "0.5"})
                      .ExitCode,
                  0);
    }
    // Starts the recorder; the test then acts while it records.
    void Start(const QStringList& arguments) {
        Process.start(Recorder(), QStringList{Q(Avi)} + arguments);
        ASSERT_TRUE(Process.waitForStarted(5000));
    }
    void Signal(int signalNumber) { ::kill(static_cast<pid_t>(Process.processId()), signalNumber); }
    void Finish() {
        ASSERT_TRUE(Process.waitForFinished(60000));
        Err = Process.readAllStandardError().toStdString();
        ASSERT_EQ(Process.exitStatus(), QProcess::NormalExit);
        ASSERT_EQ(Process.exitCode(), 0) << Err;
    }
    double VideoSeconds() const {
        return test::ProbeStream(Avi, "video")["duration"].toString().toDouble();
    }
    double AudioSeconds() const { return test::ProbedAudioSeconds(Avi); }
    test::WavContents Sound() const {
        const fs::path out = Dir / "sound.wav";
        test::RunProcess("ffmpeg", {"-v", "error", "-y", "-i", Q(Avi), "-map", "0:a", Q(out)});
        return test::ReadWav(out);
    }

    test::TempDir Dir;
    fs::path Avi = Dir / "out.avi";
    fs::path Wav = Dir / "out.Wav";
    fs::path Tone = Dir / "tone.wav";
    QProcess Process;
    std::string Err;
};

} // namespace

TEST_F(RecordToolSound, TheMicrophoneBecomesTheSecondStreamInStepWithTheVideo) {
    Start({"--seconds", "6", "--rate", "5"});
    std::this_thread::sleep_for(1s); // the sound device runs by then
    ASSERT_EQ(test::RunProcess("paplay", {Q(Tone)}, 20s).ExitCode, 0);
    Finish();

    const QJsonObject audio = test::ProbeStream(Avi, "audio");
    EXPECT_EQ(audio["codec_name"].toString(), "pcm_s16le");
    EXPECT_EQ(audio["sample_rate"].toString(), "44100");
    EXPECT_EQ(audio["channels"].toInt(), 2);
    EXPECT_NEAR(VideoSeconds(), 6.0, 0.5);
    EXPECT_NEAR(AudioSeconds(), VideoSeconds(), 0.2) << AudioSeconds() << " s of sound";
    const test::WavContents sound = Sound();
    EXPECT_NEAR(test::DominantFrequency(sound.Samples, 2, 44100), 1000.0, 20.0);
    EXPECT_GT(test::PeakLevel(sound.Samples), 12000);
    EXPECT_FALSE(fs::exists(Wav)) << "the sound file goes once its sound is in the video";
}

TEST_F(RecordToolSound, APauseShortensScreenAndSoundTogether) {
    Start({"--seconds", "6", "--rate", "5"});
    std::this_thread::sleep_for(2s);
    Signal(SIGUSR1);
    std::this_thread::sleep_for(2s);
    Signal(SIGUSR2);
    Finish();

    EXPECT_NEAR(VideoSeconds(), 4.0, 0.5) << "2 s shorter than the 6 s recorded";
    EXPECT_NEAR(AudioSeconds(), VideoSeconds(), 0.2) << AudioSeconds() << " s of sound";
    EXPECT_FALSE(fs::exists(Wav));
}

TEST_F(RecordToolSound, WithoutSoundOnlyTheScreenIsRecorded) {
    Start({"--seconds", "2", "--rate", "5", "--no-sound"});
    std::this_thread::sleep_for(500ms);
    EXPECT_FALSE(fs::exists(Wav));
    Finish();
    EXPECT_EQ(test::ProbeStreams(Avi).size(), 1);
}

TEST_F(RecordToolSound, NoRecordingDeviceIsToldAndTheVideoIsKept) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("PULSE_SERVER", "unix:" + Q(Dir / "nobody-listens"));
    Process.setProcessEnvironment(environment);
    Start({"--seconds", "2", "--rate", "5"});
    Finish();
    EXPECT_NE(Err.find("没有可用的录音设备"), std::string::npos) << Err;
    EXPECT_EQ(test::ProbeStreams(Avi).size(), 1);
    EXPECT_NEAR(VideoSeconds(), 2.0, 0.4);
    EXPECT_FALSE(fs::exists(Wav));
}

TEST_F(RecordToolSound, ASoundFileThatCannotBeCreatedStopsBeforeRecording) {
    fs::create_directory(Wav); // the sound file's name is taken by a folder
    const test::ProcessResult result =
        test::RunProcess(Recorder(), {Q(Avi), "--seconds", "2"}, 30s);
    EXPECT_NE(result.ExitCode, 0);
    const std::string err = result.Err.toStdString();
    EXPECT_NE(err.find("Cannot create file \"" + Wav.string() + "\""), std::string::npos) << err;
    EXPECT_NE(err.find("无法创建声音文件"), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(Avi));
}
