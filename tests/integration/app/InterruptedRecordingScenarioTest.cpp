// A recording of the real program killed outright (no chance to finish
// anything) while it records, while it is paused and while it saves: the next
// start asks about it, repairs it on Yes, and the user ends up with a playable
// video with its sound and the one history entry it had.
#include "tests/integration/app/ProgramDriver.h"

#include <csignal>

using namespace vardocle::test;

namespace {

class InterruptedRecordingScenario : public ProgramTest {
protected:
    fs::path Avi() const { return Folder / "videos" / "killed.Avi"; }
    fs::path Wav() const { return Folder / "videos" / "killed.Wav"; }

    void StartRecordingWithTone() {
        StartProgram(Program);
        ASSERT_TRUE(WaitForWindowCount("Vardocle", 1));
        Key("alt+1");
        ChooseFile(Folder / "videos" / "killed");
        ASSERT_TRUE(WaitUntil([&] { return fs::exists(Wav()); })) << "the recording did not start";
        Tone.start("paplay", {Path(Folder / "tone.wav")});
    }

    void KillProgram() {
        ::kill(static_cast<pid_t>(Program.processId()), SIGKILL);
        ASSERT_TRUE(Program.waitForFinished(10000));
        Tone.kill();
        Tone.waitForFinished(5000);
    }

    // Starts the program again; answers Yes when it asks about the recording
    // and waits until nothing of the interrupted recording is left to repair.
    // `mustAsk`: whether the kill certainly left the recording incomplete.
    void RestartAndRepair(bool mustAsk) {
        StartProgram(Program);
        const bool asked = WaitForWindowCount("发现未完成的录像", 1, mustAsk ? 30s : 8s);
        if (mustAsk) {
            ASSERT_TRUE(asked) << "the next start did not ask about the killed recording";
        }
        if (asked) {
            Xdotool({"windowfocus", "--sync", OnlyWindow("发现未完成的录像")});
            Key("Return"); // Yes is the default button.
        }
        ASSERT_TRUE(WaitUntil(
            [&] { return !fs::exists(Wav()) && !fs::exists(Folder / "videos" / "killed.merging"); },
            60s))
            << "the repair left the sound file or a half-written merge";
        ASSERT_EQ(Program.state(), QProcess::Running) << "the repair ended the program";
    }

    // The video plays for at least `minSeconds` with sound along its length,
    // and the history has the recording's one entry.
    void ExpectKeptRecording(double minSeconds) {
        const QJsonObject video = ProbeStream(Avi(), "video");
        ASSERT_FALSE(video.isEmpty()) << "no readable video";
        const double videoSeconds = video.value("nb_frames").toString().toDouble() / 5.0;
        EXPECT_GE(videoSeconds, minSeconds);
        ASSERT_FALSE(ProbeStream(Avi(), "audio").isEmpty()) << "the sound was not merged";
        // Each of video and sound may lose up to its last second to the kill.
        EXPECT_NEAR(SoundSeconds(Avi(), Folder.Path()), videoSeconds, 1.2);
        EXPECT_EQ(FileSize(Folder / "bin" / "History.his"), 320u)
            << "the history does not hold exactly the recording's entry";
    }
};

} // namespace

TEST_F(InterruptedRecordingScenario, KilledWhileRecordingIsRepairedAtTheNextStart) {
    StartRecordingWithTone();
    QThread::msleep(4000);
    KillProgram();
    ASSERT_TRUE(fs::exists(Wav()));
    RestartAndRepair(true);
    ExpectKeptRecording(2.8);
}

TEST_F(InterruptedRecordingScenario, KilledWhilePausedKeepsWhatWasRecordedBeforeThePause) {
    StartRecordingWithTone();
    QThread::msleep(3000);
    Key("alt+2");
    // Long enough in the pause for the sound before it to reach the disk.
    QThread::msleep(2500);
    KillProgram();
    RestartAndRepair(true);
    // The pause is not part of the recording.
    ExpectKeptRecording(1.8);
    const double videoSeconds =
        ProbeStream(Avi(), "video").value("nb_frames").toString().toDouble() / 5.0;
    EXPECT_LT(videoSeconds, 4.5) << "the pause was recorded";
}

TEST_F(InterruptedRecordingScenario, KilledWhileSavingEndsAsAKeptRecording) {
    StartRecordingWithTone();
    QThread::msleep(4000);
    Key("alt+4");
    // Somewhere in the closing of the file and the merge of the sound: the
    // next start must make a whole recording of whatever state it left.
    QThread::msleep(30);
    KillProgram();
    RestartAndRepair(false);
    ExpectKeptRecording(2.8);
}
