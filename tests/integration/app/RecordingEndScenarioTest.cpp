// How recordings of the real program end: on SIGTERM, with a history that
// cannot be written, and at the exit question answered with the keyboard.
#include "tests/integration/app/ProgramDriver.h"

#include <csignal>

using namespace vardocle::test;

namespace {

std::string ReadText(const fs::path& file) {
    std::ifstream in(file);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class RecordingEndScenario : public ProgramTest {
protected:
    void StartRecording(const fs::path& name) {
        Key("alt+1");
        ChooseFile(name);
    }
};

} // namespace

TEST_F(RecordingEndScenario, SigtermFinishesTheRecordingWithSoundAndSavesTheSettings) {
    StartProgram(Program);
    ASSERT_TRUE(WaitForWindowCount("Vardocle", 1));
    StartRecording(Folder / "videos" / "term");
    const fs::path wav = Folder / "videos" / "term.Wav";
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(wav); }));
    Tone.start("paplay", {Path(Folder / "tone.wav")});
    QThread::msleep(3000);
    ::kill(static_cast<pid_t>(Program.processId()), SIGTERM);
    ASSERT_TRUE(Program.waitForFinished(60000)) << "the program did not end on SIGTERM";
    EXPECT_EQ(Program.exitStatus(), QProcess::NormalExit);

    EXPECT_FALSE(fs::exists(wav)) << "the sound file was left behind";
    const fs::path avi = Folder / "videos" / "term.Avi";
    const QJsonObject video = ProbeStream(avi, "video");
    ASSERT_FALSE(video.isEmpty());
    ASSERT_FALSE(ProbeStream(avi, "audio").isEmpty()) << "no sound in the video";
    const double videoSeconds = video.value("nb_frames").toString().toDouble() / 5.0;
    EXPECT_GT(videoSeconds, 2.0);
    EXPECT_NEAR(SoundSeconds(avi, Folder.Path()), videoSeconds, 0.3);
    const std::string settings = ReadText(Folder / "bin" / "Setting.ini");
    EXPECT_NE(settings.find("Width="), std::string::npos) << "the settings were not saved";
    EXPECT_EQ(FileSize(Folder / "bin" / "History.his"), 320u);
}

TEST_F(RecordingEndScenario, AnUnwritableHistoryOnAHotKeyStartIsShownAndTheProgramGoesOn) {
    // Not even root may write a history that is a folder.
    fs::create_directories(Folder / "bin" / "History.his");
    std::ofstream(Folder / "videos" / "again.avi") << "an older recording";
    StartProgram(Program);
    ASSERT_TRUE(WaitForWindowCount("Vardocle", 1));
    const QStringList open = VisibleWindows("Vardocle");
    StartRecording(Folder / "videos" / "again.avi");
    ASSERT_TRUE(WaitForWindowCount("警告", 1)) << "no overwrite question";
    Key("alt+y");
    const QString notice = WaitForNewWindow("Vardocle", open);
    ASSERT_FALSE(notice.isEmpty()) << "the history error was not shown";
    QThread::msleep(500);
    ASSERT_EQ(Program.state(), QProcess::Running) << "the error ended the program";
    // The recording goes on and stops as usual.
    const fs::path wav = Folder / "videos" / "again.Wav";
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(wav); }));
    QThread::msleep(1000);
    Key("alt+4");
    ASSERT_TRUE(WaitUntil([&] { return !fs::exists(wav); }, 60s));
    EXPECT_FALSE(ProbeStream(Folder / "videos" / "again.avi", "video").isEmpty());
}

TEST_F(RecordingEndScenario, TabToNoAndReturnKeepsRecording) {
    StartProgram(Program);
    const QString mainWindow = OnlyWindow("Vardocle");
    ASSERT_FALSE(mainWindow.isEmpty()) << "the main window did not appear";
    StartRecording(Folder / "videos" / "kept");
    const fs::path wav = Folder / "videos" / "kept.Wav";
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(wav); }));
    const QStringList open = VisibleWindows("Vardocle");
    Key("alt+q");
    const QString question = WaitForNewWindow("Vardocle", open);
    ASSERT_FALSE(question.isEmpty()) << "no exit question";
    Xdotool({"windowfocus", "--sync", question});
    Key("Tab");
    Key("Return");
    ASSERT_TRUE(WaitUntil([&] { return !VisibleWindows("Vardocle").contains(question); }));
    QThread::msleep(1000);
    ASSERT_EQ(Program.state(), QProcess::Running) << "Return on 不要(&N) ended the program";
    EXPECT_TRUE(fs::exists(wav)) << "the recording was stopped";
    EXPECT_TRUE(IsVisible(mainWindow));
    Key("alt+4");
    ASSERT_TRUE(WaitUntil([&] { return !fs::exists(wav); }, 60s));
}
