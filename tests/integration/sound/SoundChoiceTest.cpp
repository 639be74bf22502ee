// vardocle-record's choice of sound, on a sound server of the test's own with
// three null sinks: "speakers" (the default output: what the computer plays),
// "micsink" (its monitor is the default input: the microphone) and
// "headphones" (an output the user switches to).
#include "tests/integration/sound/PrivateSoundServer.h"
#include "tests/support/ProgramPaths.h"
#include "tests/support/SoundAnalysis.h"
#include "tests/support/TestSupport.h"

#include <QProcess>

#include <gtest/gtest.h>
#include <thread>

using namespace vardocle;
using namespace std::chrono_literals;
using vardocle::test::Q;
namespace fs = std::filesystem;

namespace {

constexpr double kRate = 44100;

class SoundChoice : public ::testing::Test {
protected:
    void SetUp() override {
        VARDOCLE_REQUIRE_DISPLAY();
        if (!FServer.Address().empty())
            FAddress = std::make_unique<test::ServerAddress>(FServer.Address());
        ASSERT_FALSE(FServer.Address().empty()) << "the private sound server did not start";
        // An idle null sink gives a new stream its first block only after a
        // second or two; readers that stay connected keep them awake.
        for (const char* sink : {"speakers", "micsink", "headphones"}) {
            FPlayers.emplace_back(std::make_unique<QProcess>());
            FPlayers.back()->setStandardOutputFile(QProcess::nullDevice());
            FPlayers.back()->start("parec",
                                   {"-d", QString(sink) + ".monitor", "--latency-msec=10"});
            test::RunProcess("pactl", {"suspend-sink", sink, "1"});
            test::RunProcess("pactl", {"suspend-sink", sink, "0"});
        }
        FAwake = std::move(FPlayers);
        for (const auto& [file, hertz] : {std::pair{Tone1000, "1000"}, std::pair{Tone440, "440"}})
            ASSERT_EQ(test::RunProcess("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16", Q(file),
                                               "synth", "2.5", "sine", hertz, "vol", "0.5"})
                          .ExitCode,
                      0);
    }

    void Start(const fs::path& avi, const QString& sound, int seconds) {
        FRecorder.start(Q(test::BinDir() / "vardocle-record"),
                        {Q(avi), "--seconds", QString::number(seconds), "--rate", "5", "--size",
                         "160x120", "--sound", sound});
        ASSERT_TRUE(FRecorder.waitForStarted(5000));
    }
    void Play(const fs::path& tone, const QString& sink) {
        FPlayers.emplace_back(std::make_unique<QProcess>());
        FPlayers.back()->start("paplay", {"-d", sink, Q(tone)});
    }
    // The recorder's exit code (-1 for a crash or a hang) and what it said.
    int Finish(std::string& err) {
        const bool ended = FRecorder.waitForFinished(30000);
        err = FRecorder.readAllStandardError().toStdString();
        for (auto& player : FPlayers)
            player->waitForFinished(10000);
        FPlayers.clear();
        return ended && FRecorder.exitStatus() == QProcess::NormalExit ? FRecorder.exitCode() : -1;
    }
    test::WavContents Sound(const fs::path& avi) {
        const fs::path out = avi.string() + ".wav";
        test::RunProcess("ffmpeg", {"-v", "error", "-y", "-i", Q(avi), "-map", "0:a", Q(out)});
        return test::ReadWav(out);
    }
    // The tone's largest amplitude in any quarter second from FromSeconds
    // to ToSeconds (players and streams start with some delay of their own).
    static double Amplitude(const test::WavContents& wav, double hertz, double fromSeconds,
                            double toSeconds) {
        double loudest = 0;
        for (double at = fromSeconds; at + 0.25 <= toSeconds; at += 0.25)
            loudest = std::max(loudest, test::ToneAmplitude(wav.Samples, 2, kRate, hertz,
                                                            static_cast<std::size_t>(at * kRate),
                                                            static_cast<std::size_t>(kRate / 4)));
        return loudest;
    }

    test::TempDir Dir;
    test::PrivateSoundServer FServer{
        Dir.Path(), "load-module module-null-sink sink_name=speakers rate=44100 channels=2\n"
                    "load-module module-null-sink sink_name=micsink rate=44100 channels=2\n"
                    "load-module module-null-sink sink_name=headphones rate=44100 channels=2\n"
                    "set-default-sink speakers\n"
                    "set-default-source micsink.monitor\n"};
    std::unique_ptr<test::ServerAddress> FAddress;
    fs::path Tone1000 = Dir / "1000.wav";
    fs::path Tone440 = Dir / "440.wav";
    QProcess FRecorder;
    std::vector<std::unique_ptr<QProcess>> FPlayers;
    std::vector<std::unique_ptr<QProcess>> FAwake;
};

} // namespace

// 1000 Hz plays on the speakers and 440 Hz into the microphone, each at half
// scale: each choice keeps exactly its sources, the mix holds both at their
// level without a sample at full scale, and the sound lasts the video's time.
TEST_F(SoundChoice, EachChoiceRecordsItsOwnSourcesAndTheMixNeverClips) {
    struct TCase {
        const char* Sound;
        bool System, Microphone;
    };
    for (const TCase& c : {TCase{"both", true, true}, TCase{"system", true, false},
                           TCase{"mic", false, true}, TCase{"none", false, false}}) {
        SCOPED_TRACE(c.Sound);
        const fs::path avi = Dir / (std::string(c.Sound) + ".avi");
        Start(avi, c.Sound, 4);
        std::this_thread::sleep_for(1s);
        Play(Tone1000, "speakers");
        Play(Tone440, "micsink");
        std::string err;
        ASSERT_EQ(Finish(err), 0) << err;
        if (!c.System && !c.Microphone) {
            EXPECT_TRUE(test::ProbeStream(avi, "audio").isEmpty());
            continue;
        }
        const double video = test::ProbeStream(avi, "video")["duration"].toString().toDouble();
        EXPECT_NEAR(test::ProbedAudioSeconds(avi), video, 0.5);
        const test::WavContents wav = Sound(avi);
        ASSERT_TRUE(wav.Valid);
        const double system = Amplitude(wav, 1000, 0, 4);
        const double microphone = Amplitude(wav, 440, 0, 4);
        // A source left out is not merely quieter: it is not there.
        EXPECT_TRUE(c.System ? system > 8000 : system < 500) << system;
        EXPECT_TRUE(c.Microphone ? microphone > 8000 : microphone < 500) << microphone;
        EXPECT_LT(test::PeakLevel(wav.Samples), 32767);
    }
}

// The user switches the output to the headphones while recording what the
// computer plays: what plays there afterwards is in the recording.
TEST_F(SoundChoice, SystemSoundFollowsANewDefaultOutput) {
    const fs::path avi = Dir / "switch.avi";
    Start(avi, "system", 5);
    std::this_thread::sleep_for(1s);
    ASSERT_EQ(test::RunProcess("pactl", {"set-default-sink", "headphones"}).ExitCode, 0);
    std::this_thread::sleep_for(1s);
    Play(Tone1000, "headphones");
    std::string err;
    ASSERT_EQ(Finish(err), 0) << err;
    const test::WavContents wav = Sound(avi);
    EXPECT_GT(Amplitude(wav, 1000, 1.5, 5), 8000);
}

// The sound server goes away during a "both" recording: the recording goes
// on to its end with silence, the user is told once, and the file is whole.
TEST_F(SoundChoice, TheServerGoingAwayLeavesSilenceAndAWholeFile) {
    const fs::path avi = Dir / "gone.avi";
    Start(avi, "both", 5);
    std::this_thread::sleep_for(1s);
    Play(Tone440, "micsink");
    std::this_thread::sleep_for(1s);
    FServer.Kill();
    std::string err;
    ASSERT_EQ(Finish(err), 0) << err;
    EXPECT_NE(err.find("中断"), std::string::npos) << err;
    const double video = test::ProbeStream(avi, "video")["duration"].toString().toDouble();
    EXPECT_NEAR(video, 5.0, 0.5);
    EXPECT_NEAR(test::ProbedAudioSeconds(avi), video, 0.5);
    const test::WavContents wav = Sound(avi);
    EXPECT_GT(Amplitude(wav, 440, 0, 2), 8000);
    EXPECT_LT(Amplitude(wav, 440, 2.5, 5), 100);
}

// A "both" recording killed without warning is repaired as any other: its
// sound file holds the mix, with both sources in it.
TEST_F(SoundChoice, AKilledMixedRecordingIsRepairedWithBothSources) {
    const fs::path avi = Dir / "killed.avi";
    Start(avi, "both", 30);
    std::this_thread::sleep_for(1s);
    Play(Tone1000, "speakers");
    Play(Tone440, "micsink");
    std::this_thread::sleep_for(3s);
    FRecorder.kill();
    std::string err;
    Finish(err);
    const auto repaired =
        test::RunProcess(Q(test::BinDir() / "vardocle-record"), {"--repair", Q(avi)}, 60s);
    ASSERT_EQ(repaired.ExitCode, 0) << repaired.Out.toStdString();
    const test::WavContents wav = Sound(avi);
    EXPECT_GT(Amplitude(wav, 1000, 0, 4), 8000);
    EXPECT_GT(Amplitude(wav, 440, 0, 4), 8000);
}
