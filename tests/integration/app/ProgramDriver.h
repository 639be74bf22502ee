#pragma once
// Drives the real program on the test X server: a fresh copy of its folder,
// a tray, key presses through xdotool and the windows it shows.
#include "history/HistoryFile.h"
#include "tests/support/TestSupport.h"

#include <QCoreApplication>
#include <QProcess>
#include <QThread>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <vector>

namespace vardocle::test {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

inline bool WaitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds limit = 20s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        // The test's own servers answer from its event loop, when it has one.
        if (QCoreApplication::instance())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        else
            QThread::msleep(50);
    }
    return true;
}

inline QString Xdotool(const QStringList& arguments) {
    return QString::fromUtf8(RunProcess("xdotool", arguments, 15s).Out).trimmed();
}

// Visible top-level windows whose title is exactly `title`.
inline QStringList VisibleWindows(const QString& title) {
    // Qt may add the program's name to a dialog's title.
    const QString out =
        Xdotool({"search", "--onlyvisible", "--name", "^" + title + "( — Vardocle)?$"});
    return out.isEmpty() ? QStringList() : out.split('\n');
}

inline bool WaitForWindowCount(const QString& title, int count,
                               std::chrono::milliseconds limit = 20s) {
    return WaitUntil([&] { return VisibleWindows(title).size() == count; }, limit);
}

// The one visible window titled `title`, once there is exactly one; empty
// when none settles within the limit. A window of a program killed a moment
// ago may still be listed, so a count seen once is not enough to index by.
inline QString OnlyWindow(const QString& title, std::chrono::milliseconds limit = 20s) {
    QString found;
    WaitUntil(
        [&] {
            const QStringList windows = VisibleWindows(title);
            found = windows.size() == 1 ? windows.front() : QString();
            return !found.isEmpty();
        },
        limit);
    return found;
}

inline bool IsVisible(const QString& window) {
    return VisibleWindows("Vardocle").contains(window);
}

// Waits for a window titled `title` that is not among `known`; its id.
inline QString WaitForNewWindow(const QString& title, const QStringList& known) {
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

inline void Key(const QString& keys) {
    Xdotool({"key", "--clearmodifiers", keys});
}

inline std::uintmax_t FileSize(const fs::path& path) {
    std::error_code error;
    const auto size = fs::file_size(path, error);
    return error ? 0 : size;
}

// Seconds of sound in the AVI file's audio stream (16-bit stereo, 44100 Hz).
inline double SoundSeconds(const fs::path& avi, const fs::path& scratch) {
    const fs::path raw = scratch / "sound.raw";
    RunProcess("ffmpeg",
               {"-v", "error", "-y", "-i", QString::fromStdString(avi.string()), "-map", "0:a",
                "-f", "s16le", "-ac", "2", "-ar", "44100", QString::fromStdString(raw.string())},
               60s);
    return static_cast<double>(FileSize(raw)) / 176400.0;
}

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        VARDOCLE_REQUIRE_DISPLAY();
        for (QProcess* process : {&Tone, &Program, &Tray})
            EndWithTest(*process);
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

    // The records of the program's history file, in their order (the tests
    // that call it link the history library).
    std::vector<HistoryRecord> History() {
        std::vector<HistoryRecord> records;
        THistoryReader reader = THistoryFile(Folder / "bin").OpenReader();
        HistoryRecord record;
        while (reader.Next(record))
            records.push_back(record);
        return records;
    }

    void TearDown() override {
        const qint64 program = Program.processId();
        for (QProcess* process : {&Tone, &Program, &Tray}) {
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished(5000);
            }
        }
        // The X server drops a dead client's windows when it next reads its
        // connection; the next test must not find this program's windows.
        if (program > 0)
            WaitUntil(
                [&] {
                    return Xdotool({"search", "--pid", QString::number(program)}).isEmpty();
                },
                5s);
    }

    // With KeepErrors the program's standard error is kept for the test to
    // read (its notices are written there too) instead of passed on.
    void StartProgram(QProcess& process, const QString& site = QStringLiteral("http://127.0.0.1:9"),
                      bool KeepErrors = false) {
        process.setWorkingDirectory(QString::fromStdString((Folder / "work").string()));
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
        process.setProcessEnvironment(environment);
        EndWithTest(process);
        process.setProcessChannelMode(KeepErrors ? QProcess::SeparateChannels
                                                 : QProcess::ForwardedErrorChannel);
        // By default an address where nothing answers: the update check and
        // the advertisement fail quietly.
        process.start(QString::fromStdString((Folder / "bin" / "vardocle").string()),
                      {"--site", site});
        ASSERT_TRUE(process.waitForStarted(10000));
    }

    // Alt+1, then the name typed into the save dialog.
    void ChooseFile(const fs::path& name) {
        ASSERT_TRUE(WaitForWindowCount("保存", 1)) << "the save dialog did not open";
        // A dialog is shown before it has the keyboard; keys typed in between
        // are lost and the file is saved under a cut name.
        const QStringList dialog = VisibleWindows("保存");
        if (!dialog.isEmpty() &&
            !WaitUntil([&] { return dialog.contains(Xdotool({"getwindowfocus"})); }, 5s))
            Xdotool({"windowfocus", "--sync", dialog.front()});
        Xdotool({"type", "--delay", "20", QString::fromStdString(name.string())});
        Key("Return");
    }

    QString Path(const fs::path& path) { return QString::fromStdString(path.string()); }

    // `vardocle --command WORDS` to the running copy.
    ProcessResult Command(const QStringList& words) {
        return RunProcess(Path(Folder / "bin" / "vardocle"), QStringList{"--command"} + words, 60s);
    }
    void Quit() {
        ASSERT_EQ(Command({"quit"}).ExitCode, 0);
        ASSERT_TRUE(Program.waitForFinished(20000));
    }
    // Setting.ini as the program left it.
    std::string Settings() {
        std::ifstream ini(Folder / "bin" / "Setting.ini");
        return {std::istreambuf_iterator<char>(ini), std::istreambuf_iterator<char>()};
    }

    vardocle::test::TempDir Folder;
    QProcess Tray;
    QProcess Program;
    // The known tone the private sound server plays into the recording.
    QProcess Tone;
};

} // namespace vardocle::test
