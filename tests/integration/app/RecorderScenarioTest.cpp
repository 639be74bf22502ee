// The recorder as a user meets it: the program started from another folder on
// a real X server with a tray, driven by real key presses, recording the
// private sound server while it plays a tone.
#include "tests/support/TestSupport.h"

#include <QProcess>
#include <QThread>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using vardocle::test::RunProcess;

namespace {

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit = 20s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        QThread::msleep(50);
    }
    return true;
}

QString Xdotool(const QStringList& arguments) {
    return QString::fromUtf8(RunProcess("xdotool", arguments, 15s).Out).trimmed();
}

// Visible top-level windows whose title is exactly `title`.
QStringList VisibleWindows(const QString& title) {
    // Qt may add the program's name to a dialog's title.
    const QString out =
        Xdotool({"search", "--onlyvisible", "--name", "^" + title + "( — Vardocle)?$"});
    return out.isEmpty() ? QStringList() : out.split('\n');
}

bool WaitForWindowCount(const QString& title, int count, std::chrono::milliseconds limit = 20s) {
    return WaitUntil([&] { return VisibleWindows(title).size() == count; }, limit);
}

bool IsVisible(const QString& window) {
    return VisibleWindows("Vardocle").contains(window);
}

// Waits for a window titled `title` that is not among `known`; its id.
QString WaitForNewWindow(const QString& title, const QStringList& known) {
    QString found;
    WaitUntil([&] {
        for (const QString& window : VisibleWindows(title)) {
            if (!known.contains(window)) {
                found = window;
                return true;
            }
        }
        return false;
    });
    return found;
}

void Key(const QString& keys) {
    Xdotool({"key", "--clearmodifiers", keys});
}

std::uintmax_t FileSize(const fs::path& path) {
    std::error_code error;
    const auto size = fs::file_size(path, error);
    return error ? 0 : size;
}

// Seconds of sound in the AVI file's audio stream (16-bit stereo, 44100 Hz).
double SoundSeconds(const fs::path& avi, const fs::path& scratch) {
    const fs::path raw = scratch / "sound.raw";
    RunProcess("ffmpeg",
               {"-v", "error", "-y", "-i", QString::fromStdString(avi.string()), "-map", "0:a",
                "-f", "s16le", "-ac", "2", "-ar", "44100", QString::fromStdString(raw.string())},
               60s);
    return static_cast<double>(FileSize(raw)) / 176400.0;
}

class RecorderScenario : public ::testing::Test {
protected:
    void SetUp() override {
        VARDOCLE_REQUIRE_DISPLAY();
        // The program keeps its files beside itself: give it a folder of its own.
        fs::copy(vardocle::test::BinDir(), Folder / "bin", fs::copy_options::recursive);
        // A fresh install: no history or settings from another run.
        fs::remove(Folder / "bin" / "History.his");
        fs::remove(Folder / "bin" / "Setting.ini");
        fs::create_directories(Folder / "work");
        // Five frames a second: the video's length moves in steps of 0.2 s.
        std::ofstream(Folder / "bin" / "Setting.ini") << "[Main]\nRate=5\n";
        fs::create_directories(Folder / "videos");
        Tray.start("trayer", {"--edge", "bottom", "--align", "right", "--widthtype", "request",
                              "--height", "24"});
        Tray.waitForStarted();
        RunProcess("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16",
                           QString::fromStdString((Folder / "tone.wav").string()), "synth", "30",
                           "sine", "1000", "vol", "0.5"});
    }

    void TearDown() override {
        for (QProcess* process : {&Program, &Tone, &Tray}) {
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished(5000);
            }
        }
    }

    void StartProgram(QProcess& process) {
        process.setWorkingDirectory(QString::fromStdString((Folder / "work").string()));
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // An address where nothing answers: the update check and the
        // advertisement fail quietly.
        process.start(QString::fromStdString((Folder / "bin" / "vardocle").string()),
                      {"--site", "http://127.0.0.1:9"});
        ASSERT_TRUE(process.waitForStarted(10000));
    }

    // Alt+1, then the name typed into the save dialog.
    void ChooseFile(const fs::path& name) {
        ASSERT_TRUE(WaitForWindowCount("保存", 1)) << "the save dialog did not open";
        Xdotool({"type", "--delay", "20", QString::fromStdString(name.string())});
        Key("Return");
    }

    QString Path(const fs::path& path) { return QString::fromStdString(path.string()); }

    vardocle::test::TempDir Folder;
    QProcess Tray;
    QProcess Program;
    QProcess Tone;
};

} // namespace

TEST_F(RecorderScenario, RecordPauseResumeStopOverwriteHideAndExit) {
    StartProgram(Program);
    ASSERT_TRUE(WaitForWindowCount("Vardocle", 1)) << "the main window did not appear";
    const QString mainWindow = VisibleWindows("Vardocle").front();
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
