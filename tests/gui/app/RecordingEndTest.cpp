// How a recording ends: Stop that nothing can hold up, a recording that ends
// by itself keeping its sound, a failed start keeping the history, errors of
// hotkey commands, the exit question's keys and the end on a signal.
#include "MainWindowFixture.h"
#include "app/ApplicationErrors.h"
#include "app/ExitSignals.h"
#include "app/uFrmAskExit.h"
#include "engine/SoundMerge.h"

#include <QEventLoop>
#include <QPushButton>
#include <QTest>

#include <csignal>

using namespace vardocle;
using namespace vardocle::test;

namespace {

// Sound as the microphone would deliver it: 0.1 s every 100 ms.
class SoundFeeder {
public:
    explicit SoundFeeder(test::FakeSoundLibrary& library) : FBlock(17640, 0x11) {
        QObject::connect(&FTimer, &QTimer::timeout, [this, &library] {
            if (library.Feed(FBlock))
                FFedBytes += FBlock.size();
        });
        FTimer.start(100);
    }
    void Stop() { FTimer.stop(); }
    double FedSeconds() const { return static_cast<double>(FFedBytes) / 176400.0; }

private:
    std::vector<std::uint8_t> FBlock;
    QTimer FTimer;
    std::size_t FFedBytes = 0;
};

// Seconds of sound in a video's sound stream (16-bit stereo, 44100 Hz).
double SoundSeconds(const fs::path& avi, const fs::path& scratch) {
    const fs::path raw = scratch / "sound.raw";
    test::RunProcess("ffmpeg", {"-v", "error", "-y", "-i", QString::fromStdString(avi.string()),
                                "-map", "0:a", "-f", "s16le", "-ac", "2", "-ar", "44100",
                                QString::fromStdString(raw.string())});
    std::error_code missing;
    return static_cast<double>(fs::file_size(raw, missing)) / 176400.0;
}

class RecordingEndTest : public MainWindowTest {
protected:
    void TearDown() override { SetErrorDisplay(nullptr); }

    bool WaitIdle() {
        return test::WaitFor([&] { return Main->State() == TRecordingState::Idle; });
    }
};

} // namespace

TEST_F(RecordingEndTest, StopIsNotHeldUpByABoxOpenedWhileTheFileIsSaved) {
    Open();
    Answers = {Path(Folder / "boxed")};
    Main->BtnStartClick();
    test::KeepRunning(400);
    // A modal box the user opens right after Stop (a question of the history
    // window, opened by a click) runs its own loop until it is answered.
    bool idleWhileBoxOpen = false;
    bool stopReturned = false;
    bool boxOpenedInsideStop = false;
    QTimer::singleShot(1, [&] {
        boxOpenedInsideStop = !stopReturned;
        QEventLoop box;
        QTimer look;
        QObject::connect(&look, &QTimer::timeout, [&] {
            if (Main->State() == TRecordingState::Idle) {
                idleWhileBoxOpen = true;
                box.quit();
            }
        });
        look.start(5);
        QTimer::singleShot(10000, &box, &QEventLoop::quit);
        box.exec();
    });
    Main->BtnStopClick();
    stopReturned = true;
    ASSERT_TRUE(WaitIdle());
    // A Stop that waited in an event loop of its own would stay under the box
    // until it is answered, and everything that waits for Stop with it.
    EXPECT_FALSE(boxOpenedInsideStop) << "Stop ran an event loop of its own";
    EXPECT_TRUE(idleWhileBoxOpen) << "the recording waited for the box to be closed";
    EXPECT_FALSE(fs::exists(Folder / "boxed.Wav"));
    EXPECT_TRUE(Main->BtnStart->isEnabled());
}

TEST_F(RecordingEndTest, ARecordingThatCannotWriteAFrameStopsWithAllItsSound) {
    Open();
    Answers = {Path(Folder / "broken")};
    Main->BtnStartClick();
    ASSERT_TRUE(test::WaitFor([&] { return Sound && Sound->Recording(); }));
    SoundFeeder feeder(*Sound);
    test::KeepRunning(1500);
    *ScreenFails = true; // the next frame cannot be written
    ASSERT_TRUE(WaitIdle());
    feeder.Stop();

    ASSERT_EQ(Notices.size(), 1u);
    EXPECT_TRUE(Notices[0].contains(QStringLiteral("录制中断"))) << Notices[0].toStdString();
    EXPECT_TRUE(Notices[0].contains(QStringLiteral("the screen went away")));
    EXPECT_FALSE(fs::exists(Folder / "broken.Wav"));
    // What the microphone still held when capturing stopped is in the file.
    const QJsonObject sound = test::ProbeStream(Folder / "broken.Avi", "audio");
    ASSERT_FALSE(sound.isEmpty()) << "no sound in the video";
    EXPECT_NEAR(SoundSeconds(Folder / "broken.Avi", Folder.Path()), feeder.FedSeconds(), 0.25);
}

TEST_F(RecordingEndTest, AStartThatFailsKeepsTheEntryOfTheFileItWouldReplace) {
    Open();
    Main->BtnVoiceClick(); // no sound
    Answers = {Path(Folder / "keep.avi")};
    RecordFor(300);
    ASSERT_EQ(HistoryRecords().size(), 1u);

    Main->BtnVoiceClick(); // sound on, but its file cannot be made
    fs::create_directory(Folder / "keep.Wav");
    Answers = {Path(Folder / "keep.avi")};
    OverwriteAnswers = {true};
    Main->BtnStartClick();
    EXPECT_EQ(Main->State(), TRecordingState::Idle);
    EXPECT_EQ(HistoryRecords().size(), 1u) << "the old file is still there, so is its entry";

    // A start that succeeds replaces the entry: still one.
    fs::remove(Folder / "keep.Wav");
    Answers = {Path(Folder / "keep.avi")};
    OverwriteAnswers = {true};
    Main->BtnStartClick();
    ASSERT_TRUE(test::WaitFor([&] {
        const auto records = HistoryRecords();
        return records.size() == 1 && records[0].RecordTime > 0;
    }));
    test::KeepRunning(300);
    StopAndWait();
    EXPECT_EQ(HistoryRecords().size(), 1u);
}

TEST_F(RecordingEndTest, AnErrorOfAHotKeyCommandReachesTheErrorDisplay) {
    std::vector<QString> shown;
    SetErrorDisplay([&](const QString& message) { shown.push_back(message); });
    Services.ChooseFile = [](TFrmMain&, const QString&) -> std::optional<QString> {
        throw std::runtime_error("Cannot open file \"History.his\"");
    };
    Open();
    // As the desktop's event filter calls it: nothing may leave it.
    const auto& ids = Main->HotKeyIds();
    EXPECT_NO_THROW(Main->HotKeys()->OnHotKeyPressed(0x8031, ids[0]));
    ASSERT_TRUE(test::WaitFor([&] { return !shown.empty(); }, 2000));
    EXPECT_TRUE(shown[0].contains("History.his"));
    EXPECT_FALSE(Main->ChoosingFile());
}

TEST_F(RecordingEndTest, ReturnInTheExitQuestionPressesTheFocusedButton) {
    auto answerWith = [](std::vector<Qt::Key> keys) {
        QTimer::singleShot(0, [keys] {
            QWidget* dialog = QApplication::activeModalWidget();
            ASSERT_NE(dialog, nullptr);
            // As on the desktop, the question has the keyboard.
            dialog->activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
            for (const Qt::Key key : keys)
                QTest::keyClick(QApplication::focusWidget(), key);
        });
    };
    answerWith({Qt::Key_Tab, Qt::Key_Return});
    EXPECT_FALSE(AskExit(QStringLiteral("?"))) << "Return on 不要(&N) answered Yes";
    answerWith({Qt::Key_Return});
    EXPECT_TRUE(AskExit(QStringLiteral("?"))) << "Return on 是的(&Y)";
    answerWith({Qt::Key_Escape});
    EXPECT_FALSE(AskExit(QStringLiteral("?")));
}

TEST_F(RecordingEndTest, ASignalFinishesTheRecordingSavesTheSettingsAndCloses) {
    Open();
    Main->show();
    TExitSignals exitSignals;
    QObject::connect(&exitSignals, &TExitSignals::Requested, Main.get(), &TFrmMain::EndOnRequest);
    Answers = {Path(Folder / "signalled")};
    Main->BtnStartClick();
    ASSERT_TRUE(test::WaitFor([&] { return Sound && Sound->Recording(); }));
    SoundFeeder feeder(*Sound);
    test::KeepRunning(800);
    std::raise(SIGTERM);
    ASSERT_TRUE(test::WaitFor([&] { return !Main->isVisible(); }));
    feeder.Stop();

    EXPECT_EQ(ExitQuestions, 0);
    EXPECT_EQ(Main->State(), TRecordingState::Idle);
    EXPECT_FALSE(fs::exists(Folder / "signalled.Wav"));
    EXPECT_FALSE(test::ProbeStream(Folder / "signalled.Avi", "audio").isEmpty());
    std::ifstream ini(Folder / "Setting.ini");
    const std::string text((std::istreambuf_iterator<char>(ini)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("Width=64"), std::string::npos);
}

TEST_F(RecordingEndTest, ASoundThatCannotBeMergedIsKeptAndTheReasonShown) {
    Open();
    Answers = {Path(Folder / "unmerged")};
    Main->BtnStartClick();
    ASSERT_TRUE(test::WaitFor([&] { return Sound && Sound->Recording(); }));
    SoundFeeder feeder(*Sound);
    test::KeepRunning(500);
    // The merge writes beside the video; a folder stands in its way.
    fs::create_directory(MergeOutputName((Folder / "unmerged.Avi").string()));
    StopAndWait();

    ASSERT_EQ(Notices.size(), 1u);
    EXPECT_TRUE(Notices[0].contains(QStringLiteral("声音未能合并"))) << Notices[0].toStdString();
    EXPECT_FALSE(Notices[0].split('\n').last().trimmed().isEmpty()) << "no reason given";
    EXPECT_TRUE(fs::exists(Folder / "unmerged.Wav")) << "the sound was lost";
    EXPECT_FALSE(test::ProbeStream(Folder / "unmerged.Avi", "video").isEmpty());
}
