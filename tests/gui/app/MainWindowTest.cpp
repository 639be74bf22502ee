// The main window's recording commands with a stand-in screen and
// microphone: what reaches the files, the history and the controls.
#include "MainWindowFixture.h"
#include "app/HotKeyTable.h"
#include "app/area/AreaChoiceControls.h"

#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QScreen>

#include <thread>

using namespace vardocle;
using namespace vardocle::test;

TEST_F(MainWindowTest, ARecordingWritesTheVideoEntersTheHistoryAndRemovesTheSoundFile) {
    Open();
    Answers = {Path(Folder / "clip")};
    Main->BtnStartClick();
    EXPECT_EQ(Offered.front(), "我的视频");
    EXPECT_EQ(Main->AviFileName(), Path(Folder / "clip.Avi"));
    EXPECT_FALSE(Main->BtnStart->isEnabled());
    EXPECT_FALSE(Main->MenuStart->isEnabled());
    EXPECT_TRUE(Main->BtnStop->isEnabled());
    EXPECT_FALSE(Setting->SpinRate->isEnabled());
    EXPECT_FALSE(Setting->CheckRecordCursor->isEnabled());
    EXPECT_TRUE(Setting->SpinWidth->isEnabled());
    EXPECT_FALSE(Setting->AreaChoice->BtnArea->isEnabled());
    EXPECT_FALSE(Setting->AreaChoice->Menu()->isEnabled());
    ASSERT_TRUE(test::WaitFor([&] { return HistoryRecords().size() == 1; }));
    EXPECT_TRUE(fs::exists(Folder / "clip.Wav")); // the sound is being recorded

    Main->ChkPauseClick();
    EXPECT_EQ(Main->State(), TRecordingState::Paused);
    EXPECT_TRUE(Main->ChkResume->isEnabled());
    EXPECT_FALSE(Main->ChkPause->isEnabled());
    Main->ChkResumeClick();
    test::KeepRunning(600);
    Main->BtnStopClick();
    EXPECT_EQ(Main->State(), TRecordingState::Saving);
    EXPECT_FALSE(Main->BtnStart->isEnabled()) << "nothing starts before the file is saved";
    EXPECT_TRUE(Main->TrayIcon()->toolTip().contains(QStringLiteral("正在保存录像…")));
    ASSERT_TRUE(test::WaitFor([&] { return Main->State() == TRecordingState::Idle; }));
    EXPECT_TRUE(Main->AviFileName().isEmpty());
    EXPECT_TRUE(Main->BtnStart->isEnabled());
    EXPECT_TRUE(Setting->CheckRecordCursor->isEnabled());
    EXPECT_TRUE(Setting->AreaChoice->BtnArea->isEnabled());
    EXPECT_FALSE(fs::exists(Folder / "clip.Wav"));
    const QJsonObject video = test::ProbeStream(Folder / "clip.Avi", "video");
    EXPECT_EQ(video.value("width").toInt(), 64);
    EXPECT_EQ(video.value("height").toInt(), 48);
    const auto records = HistoryRecords();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].FilePath, (Folder / "clip.Avi").string());
    EXPECT_TRUE(Notices.empty()) << Notices.front().toStdString();

    // The next Start offers the last name again.
    Answers.clear();
    Main->BtnStartClick();
    EXPECT_EQ(Offered.back(), Path(Folder / "clip"));
}

// The chosen area reaches the screen, with a frame around it while it is
// recorded; one no longer on the screen is told and nothing starts.
TEST_F(MainWindowTest, TheChosenAreaIsRecordedOrToldWhenItIsOffTheScreen) {
    Open();
    Main->BtnVoiceClick(); // no sound
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    TCaptureArea off = *ParseCaptureArea("region:0,0,64,48");
    off.Region.X = screen.right() + 10;
    Setting->AreaChoice->SetArea(off);
    Answers = {Path(Folder / "off.avi")};
    Main->BtnStartClick();
    EXPECT_EQ(Main->State(), TRecordingState::Idle);
    EXPECT_TRUE(ScreenAreas.empty());
    ASSERT_EQ(Notices.size(), 1u);
    EXPECT_TRUE(Notices[0].contains(QStringLiteral("不在屏幕上"))) << Notices[0].toStdString();
    EXPECT_FALSE(fs::exists(Folder / "off.avi"));

    const TCaptureArea region = *ParseCaptureArea("region:8,8,64,48");
    Setting->AreaChoice->SetArea(region);
    Answers = {Path(Folder / "region.avi")};
    Main->BtnStartClick();
    ASSERT_EQ(ScreenAreas.size(), 1u);
    EXPECT_EQ(ScreenAreas[0], region);
    auto frame = [] {
        QList<QRect> bars;
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->windowTitle() == QStringLiteral("录制范围") && window->isVisible())
                bars << window->geometry();
        return bars;
    };
    ASSERT_EQ(frame().size(), 4);
    for (const QRect& bar : frame())
        EXPECT_FALSE(bar.intersects(QRect(8, 8, 64, 48)));
    // A notice from the recording thread (part of the area left the screen)
    // is told on the window's thread, and the recording goes on.
    ASSERT_TRUE(*ScreenNotice);
    std::thread([notice = *ScreenNotice] { notice("部分区域已移出屏幕", "off"); }).join();
    ASSERT_TRUE(test::WaitFor([&] { return Notices.size() == 2u; }));
    EXPECT_EQ(Notices[1], QStringLiteral("部分区域已移出屏幕"));
    EXPECT_EQ(Main->State(), TRecordingState::Recording);
    Main->BtnStopClick();
    ASSERT_TRUE(test::WaitFor([&] { return Main->State() == TRecordingState::Idle; }));
    EXPECT_TRUE(frame().isEmpty());

    // A window closed between the choice and Start: its own message, nothing written.
    AreaMissing = "要录制的窗口已关闭。";
    Answers = {Path(Folder / "gone.avi")};
    Main->BtnStartClick();
    EXPECT_EQ(Main->State(), TRecordingState::Idle);
    ASSERT_EQ(Notices.size(), 3u);
    EXPECT_EQ(Notices[2], QStringLiteral("无法开始录制：要录制的窗口已关闭。"));
    EXPECT_FALSE(fs::exists(Folder / "gone.avi"));
}

TEST_F(MainWindowTest, OverwriteQuestionNoAsksAgainYesKeepsOneHistoryEntry) {
    Open();
    Main->BtnVoiceClick(); // no sound
    Answers = {Path(Folder / "same.avi")};
    RecordFor(300);
    ASSERT_EQ(HistoryRecords().size(), 1u);

    Answers = {Path(Folder / "same.avi"), Path(Folder / "same.avi")};
    OverwriteAnswers = {false, true};
    RecordFor(300);
    EXPECT_EQ(OverwriteQuestions, 2);
    EXPECT_EQ(Offered.size(), 3u); // the dialog opened again after No
    const auto records = HistoryRecords();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].FilePath, (Folder / "same.avi").string());
}

TEST_F(MainWindowTest, OnlyTheSoundFileExistingStillAsks) {
    Open();
    std::ofstream(Folder / "lone.Wav") << "x";
    Answers = {Path(Folder / "lone")};
    OverwriteAnswers = {false};
    Main->BtnStartClick(); // No, then the dialog is cancelled
    EXPECT_EQ(OverwriteQuestions, 1);
    EXPECT_EQ(Main->State(), TRecordingState::Idle);
}

TEST_F(MainWindowTest, ARecordingThatCannotStartSaysSoAndLeavesNoHistory) {
    Open();
    Main->BtnVoiceClick();
    Answers = {Path(Folder / "missing-folder" / "clip.avi")};
    Main->BtnStartClick();
    ASSERT_TRUE(test::WaitFor([&] { return Main->State() == TRecordingState::Idle; }));
    ASSERT_EQ(Notices.size(), 1u);
    EXPECT_TRUE(Notices[0].contains("无法开始录制")) << Notices[0].toStdString();
    EXPECT_TRUE(Notices[0].contains("missing-folder"));
    EXPECT_TRUE(HistoryRecords().empty());
    EXPECT_TRUE(Main->BtnStart->isEnabled());
    EXPECT_FALSE(Main->BtnStop->isEnabled());
}

TEST_F(MainWindowTest, ASoundFileThatCannotBeCreatedStopsTheStartCleanly) {
    Open();
    fs::create_directory(Folder / "clip.Wav"); // a folder where the sound file must go
    Answers = {Path(Folder / "clip.avi")};
    OverwriteAnswers = {true};
    Main->BtnStartClick();
    EXPECT_EQ(Main->State(), TRecordingState::Idle);
    ASSERT_EQ(Notices.size(), 1u);
    EXPECT_TRUE(Notices[0].contains("声音文件"));
    test::KeepRunning(200);
    EXPECT_FALSE(fs::exists(Folder / "clip.avi"));
    EXPECT_TRUE(HistoryRecords().empty());
}

TEST_F(MainWindowTest, ExitDuringARecordingAsksAndNoKeepsRecording) {
    Open();
    Main->show();
    Main->BtnVoiceClick();
    Answers = {Path(Folder / "exit.avi")};
    Main->BtnStartClick();
    ExitAnswer = false;
    EXPECT_FALSE(Main->close());
    EXPECT_EQ(Main->State(), TRecordingState::Recording);
    EXPECT_FALSE(Main->ExitAsked());
    ExitAnswer = true;
    Main->close(); // waits for the recording to be saved, then closes
    EXPECT_TRUE(Main->ExitAsked());
    ASSERT_TRUE(test::WaitFor([&] { return Main->State() == TRecordingState::Idle; }));
    ASSERT_TRUE(test::WaitFor([&] { return !Main->isVisible(); }));
    EXPECT_TRUE(fs::exists(Folder / "exit.avi"));
    // Closing saved the settings.
    std::ifstream ini(Folder / "Setting.ini");
    std::string text((std::istreambuf_iterator<char>(ini)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("Width=64"), std::string::npos);
}

TEST_F(MainWindowTest, HotKeysActOnlyWhereTheirCommandIsEnabled) {
    Open();
    const auto& ids = Main->HotKeyIds();
    auto press = [&](THotKeyRow row) { Main->DispatchHotKey(kHotKeyTable[row], ids[row]); };
    // Idle: pause, resume and stop have nothing to act on.
    press(RowPause);
    press(RowResume);
    press(RowStop);
    EXPECT_EQ(Main->State(), TRecordingState::Idle);
    EXPECT_TRUE(Offered.empty());

    Answers = {Path(Folder / "keys.avi")};
    press(RowStart);
    ASSERT_EQ(Main->State(), TRecordingState::Recording);
    press(RowStart); // no second save dialog while recording
    EXPECT_EQ(Offered.size(), 1u);
    press(RowResume); // nothing paused
    EXPECT_EQ(Main->State(), TRecordingState::Recording);
    press(RowPause);
    EXPECT_EQ(Main->State(), TRecordingState::Paused);
    press(RowPause); // a second press does not toggle back
    EXPECT_EQ(Main->State(), TRecordingState::Paused);
    press(RowResume);
    EXPECT_EQ(Main->State(), TRecordingState::Recording);
    press(RowStop);
    EXPECT_NE(Main->State(), TRecordingState::Recording);
    ASSERT_TRUE(test::WaitFor([&] { return Main->State() == TRecordingState::Idle; }));

    // A press counts only with the identifier its registration got.
    Main->show();
    press(RowShowHide);
    EXPECT_TRUE(Main->isHidden());
    press(RowShowHide);
    EXPECT_FALSE(Main->isHidden());
    Main->DispatchHotKey(kHotKeyTable[RowShowHide], static_cast<std::uint16_t>(ids[4] + 1));
    EXPECT_FALSE(Main->isHidden());
}

TEST_F(MainWindowTest, HidingRemembersTheSettingsWindow) {
    Open();
    Main->show();
    Setting->show();
    Main->BtnHideClick();
    EXPECT_TRUE(Setting->isHidden());
    EXPECT_TRUE(Main->SettingWasVisible());
    Main->show();
    EXPECT_TRUE(Setting->isVisible());
    Setting->hide();
    Main->BtnHideClick();
    Main->show();
    EXPECT_TRUE(Setting->isHidden());
}

TEST_F(MainWindowTest, TheUpdateTimerFiresOnce) {
    Open();
    EXPECT_TRUE(Main->TimerUpdata->isActive());
    EXPECT_EQ(Main->TimerUpdata->interval(), 5000);
    Main->TimerUpdataTimer();
    EXPECT_FALSE(Main->TimerUpdata->isActive());
    ASSERT_EQ(UpdateUrls.size(), 1u);
    EXPECT_NE(UpdateUrls[0].find("/SiteBack/updateTxt/57.txt"), std::string::npos);
}

TEST_F(MainWindowTest, ASecondCopyRegistersNothing) {
    Open();
    TFrmMain second(Services);
    EXPECT_TRUE(second.SecondCopy());
    EXPECT_EQ(second.TrayIcon(), nullptr);
    EXPECT_FALSE(Main->SecondCopy());
}

TEST_F(MainWindowTest, TheSettingsWindowFollowsWhenDocked) {
    Open();
    Main->show();
    Main->move(300, 200);
    EXPECT_EQ(Setting->pos(), QPoint(302, 200 + TFrmMain::kHeight));
    Setting->move(302, 200 + TFrmMain::kHeight + 100); // left well below
    Main->move(320, 200);
    EXPECT_EQ(Setting->pos(), QPoint(302, 200 + TFrmMain::kHeight + 100));
}
