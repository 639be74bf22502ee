// The recorder as a user meets it: the program started from another folder on
// a real X server with a tray, driven by real key presses, recording the
// private sound server while it plays a tone.
#include "tests/integration/app/ProgramDriver.h"

using namespace vardocle::test;

namespace {

class RecorderScenario : public ProgramTest {};

} // namespace

TEST_F(RecorderScenario, RecordPauseResumeStopOverwriteHideAndExit) {
    StartProgram(Program);
    const QString mainWindow = OnlyWindow("Vardocle");
    ASSERT_FALSE(mainWindow.isEmpty()) << "the main window did not appear";
    const QString geometry = Xdotool({"getwindowgeometry", mainWindow});
    EXPECT_TRUE(geometry.contains("Position: 563,216")) << geometry.toStdString();
    EXPECT_TRUE(geometry.contains("Geometry: 242x89")) << geometry.toStdString();
    // Shaped by its background: the rounded corner is not part of the window.
    const QString shape =
        QString::fromUtf8(RunProcess("xwininfo", {"-id", mainWindow, "-shape"}, 10s).Out);
    EXPECT_TRUE(shape.contains("Window shape extents:  240x89+2+0")) << shape.toStdString();

    // Alt+2 while idle does nothing.
    Key("alt+2");
    QThread::msleep(300);
    EXPECT_TRUE(VisibleWindows("保存").isEmpty());

    // Record with sound while a tone plays; pause for about 2 s.
    const fs::path video = Folder / "videos" / "clip";
    Key("alt+1");
    ChooseFile(video);
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(Folder / "videos" / "clip.Wav"); }));
    Tone.start("paplay", {Path(Folder / "tone.wav")});
    QThread::msleep(3000);
    Key("alt+2");
    QThread::msleep(2000);
    Key("alt+3");
    QThread::msleep(2000);
    Key("alt+4");
    ASSERT_TRUE(WaitUntil([&] { return !fs::exists(Folder / "videos" / "clip.Wav"); }, 60s))
        << "the sound file was not removed after Stop";
    const fs::path avi = Folder / "videos" / "clip.Avi";
    const QJsonObject videoStream = vardocle::test::ProbeStream(avi, "video");
    const QJsonObject soundStream = vardocle::test::ProbeStream(avi, "audio");
    ASSERT_FALSE(videoStream.isEmpty());
    ASSERT_FALSE(soundStream.isEmpty()) << "no sound in the video file";
    EXPECT_EQ(soundStream.value("sample_rate").toString(), "44100");
    const double videoSeconds = videoStream.value("nb_frames").toString().toDouble() / 5.0;
    const double soundSeconds = SoundSeconds(avi, Folder.Path());
    EXPECT_NEAR(videoSeconds, soundSeconds, 0.2);
    EXPECT_NEAR(videoSeconds, 5.0, 1.0); // about 7 s, 2 of them paused
    EXPECT_EQ(FileSize(Folder / "bin" / "History.his"), 320u);

    // The same name again: No opens the dialog again, Yes replaces.
    Key("alt+1");
    ChooseFile(video);
    ASSERT_TRUE(WaitForWindowCount("警告", 1)) << "no overwrite question";
    Key("Escape");
    ChooseFile(video);
    ASSERT_TRUE(WaitForWindowCount("警告", 1));
    Key("alt+y");
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(Folder / "videos" / "clip.Wav"); }));
    QThread::msleep(1000);
    Key("alt+4");
    ASSERT_TRUE(WaitUntil([&] { return !fs::exists(Folder / "videos" / "clip.Wav"); }, 60s));
    EXPECT_EQ(FileSize(Folder / "bin" / "History.his"), 320u) << "one entry for that path";

    // Ctrl+S hides and shows again.
    Key("ctrl+s");
    ASSERT_TRUE(WaitUntil([&] { return !IsVisible(mainWindow); }));
    Key("ctrl+s");
    ASSERT_TRUE(WaitUntil([&] { return IsVisible(mainWindow); }));

    // A second copy ends at once and adds nothing.
    const QStringList before = VisibleWindows("Vardocle");
    QProcess second;
    StartProgram(second);
    EXPECT_TRUE(second.waitForFinished(15000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(VisibleWindows("Vardocle"), before);

    // Esc while recording asks; No keeps recording; Alt+Q asks again; Yes ends.
    Key("alt+1");
    ChooseFile(Folder / "videos" / "last");
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(Folder / "videos" / "last.Wav"); }));
    Xdotool({"windowactivate", "--sync", mainWindow});
    Xdotool({"windowfocus", "--sync", mainWindow});
    const QStringList open = VisibleWindows("Vardocle");
    Key("Escape");
    const QString question = WaitForNewWindow("Vardocle", open);
    ASSERT_FALSE(question.isEmpty()) << "no exit question";
    Key("Escape");
    ASSERT_TRUE(WaitUntil([&] { return !VisibleWindows("Vardocle").contains(question); }));
    EXPECT_TRUE(fs::exists(Folder / "videos" / "last.Wav")) << "still recording";
    Key("alt+q");
    ASSERT_FALSE(WaitForNewWindow("Vardocle", open).isEmpty()) << "no second exit question";
    Key("Return");
    ASSERT_TRUE(Program.waitForFinished(60000)) << "the program did not end";
    EXPECT_FALSE(fs::exists(Folder / "videos" / "last.Wav"));
    EXPECT_FALSE(vardocle::test::ProbeStream(Folder / "videos" / "last.Avi", "video").isEmpty());
    std::ifstream ini(Folder / "bin" / "Setting.ini");
    const std::string text((std::istreambuf_iterator<char>(ini)), std::istreambuf_iterator<char>());
    for (const char* key : {"RecordCursor=", "RecordTrans=", "Rate=", "Width=", "Height="})
        EXPECT_NE(text.find(key), std::string::npos) << key;
    EXPECT_FALSE(fs::exists(Folder / "work" / "Setting.ini"));
}

TEST_F(RecorderScenario, AStartThatCannotWriteSaysSoAndReturnsToIdle) {
    StartProgram(Program);
    ASSERT_TRUE(WaitForWindowCount("Vardocle", 1));
    // A folder stands where the sound file must go: it cannot be created,
    // not even by root.
    fs::create_directories(Folder / "videos" / "blocked.Wav");
    Key("alt+1");
    const QStringList open = VisibleWindows("Vardocle");
    ChooseFile(Folder / "videos" / "blocked.avi");
    ASSERT_TRUE(WaitForWindowCount("警告", 1)) << "no overwrite question";
    Key("alt+y");
    const QString notice = WaitForNewWindow("Vardocle", open);
    ASSERT_FALSE(notice.isEmpty()) << "no message about the failed start";
    Xdotool({"windowfocus", "--sync", notice});
    Key("Return");
    ASSERT_TRUE(WaitUntil([&] { return !VisibleWindows("Vardocle").contains(notice); }));
    // Idle again: Alt+1 asks for a file.
    Key("alt+1");
    ASSERT_TRUE(WaitForWindowCount("保存", 1));
    Key("Escape");
    EXPECT_EQ(FileSize(Folder / "bin" / "History.his"), 0u);
}
