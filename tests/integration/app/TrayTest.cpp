// The main window's tray icon on a real tray (trayer, XEmbed), and what the
// user is told when another program holds one of the hotkeys first.
#include "app/HotKeyTable.h"
#include "app/RecordingState.h"
#include "app/hotkeys/HotKeyBindings.h"
#include "app/hotkeys/HotKeyPage.h"
#include "app/hotkeys/KeyCaptureEdit.h"
#include "app/tray/TrayStatus.h"
#include "app/uFrmMain.h"
#include "services/uFrmHelp.h"
#include "skin/ImageButton.h"
#include "skin/ImagingSession.h"
#include "tests/integration/app/ProgramDriver.h"
#include "tests/integration/hotkeys/OtherXClient.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QRegularExpression>
#include <QScreen>
#include <QSystemTrayIcon>

using namespace vardocle;
using namespace vardocle::test;

namespace {

// Qt's own balloon, drawn when the tray has no notification service: its text.
QString BalloonText() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (!window->inherits("QBalloonTip") || !window->isVisible())
            continue;
        QStringList texts;
        for (const QLabel* label : window->findChildren<QLabel*>())
            texts << label->text();
        return texts.join('\n');
    }
    return {};
}

// Qt's own balloon on show, if any.
QWidget* Balloon() {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->inherits("QBalloonTip") && window->isVisible())
            return window;
    return nullptr;
}

// The tray icon as the screen shows it.
QImage IconPixels(const QSystemTrayIcon& icon) {
    const QRect place = icon.geometry();
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, place.x(), place.y(), place.width(), place.height())
        .toImage();
}

class TrayTest : public ::testing::Test {
protected:
    void SetUp() override {
        VARDOCLE_REQUIRE_DISPLAY();
        StartTray();
        Services.ChooseFile = [](TFrmMain&, const QString&) { return std::optional<QString>(); };
        Services.DoUpdate = [](QWidget*, const char*) {};
    }
    void StartTray() {
        EndWithTest(Tray);
        Tray.start("trayer", {"--edge", "bottom", "--align", "right", "--widthtype", "request",
                              "--height", "24"});
        ASSERT_TRUE(Tray.waitForStarted());
        ASSERT_TRUE(WaitUntil([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, 10s))
            << "trayer did not take the tray";
    }
    void TearDown() override {
        Main.reset();
        Tray.kill();
        Tray.waitForFinished(5000);
    }
    QProcess Tray;
    TImagingSession Imaging;
    TMainWindowServices Services = TMainWindowServices::System();
    std::unique_ptr<TFrmMain> Main;
};

} // namespace

TEST_F(TrayTest, AHotKeyHeldElsewhereIsNamedMarkedAndTheIconShowsTheWindow) {
    TOtherXClient other;
    ASSERT_TRUE(other.Connected());
    ASSERT_TRUE(other.Grab(kHotKeyTable[RowStart])) << "Alt+1 could not be taken first";

    Main = std::make_unique<TFrmMain>(Services);
    ASSERT_FALSE(Main->SecondCopy());
    TFrmHelp help(Main.get());
    Main->SetWindows(&help, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(Main->RefusedHotKeys(), QStringList{QStringLiteral("Alt+1")});
    EXPECT_EQ(Main->HotKeyIds()[RowStart], 0) << "a refused key is never registered";
    EXPECT_NE(Main->HotKeyIds()[RowPause], 0);

    // The balloon names the refused key only, and the way around it.
    QString balloon;
    ASSERT_TRUE(WaitUntil([&] { return !(balloon = BalloonText()).isEmpty(); }, 10s))
        << "no balloon on the tray";
    EXPECT_TRUE(balloon.contains(QStringLiteral("以下热键已被其他程序占用：Alt+1")))
        << balloon.toStdString();
    EXPECT_FALSE(balloon.contains(QStringLiteral("Alt+2"))) << balloon.toStdString();
    EXPECT_TRUE(balloon.contains(QStringLiteral("vardocle --command"))) << balloon.toStdString();
    // Marked where the keys are shown; the others are left as they were.
    EXPECT_TRUE(help.Label1->font().strikeOut());
    EXPECT_FALSE(help.Label2->font().strikeOut());
    EXPECT_TRUE(Main->BtnStart->Hint().contains(QStringLiteral("占用")));
    EXPECT_FALSE(Main->ChkPause->Hint().contains(QStringLiteral("占用")));
    EXPECT_TRUE(Main->MenuStart->text().contains(QStringLiteral("占用")));

    // The icon sits in the tray with the state as its tip; a click on it
    // brings the hidden window back.
    QSystemTrayIcon* icon = Main->TrayIcon();
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->toolTip(), TrayTipFor(TRecordingState::Idle));
    // Embedded once the tray has placed it: trayer stands at the screen's bottom.
    ASSERT_TRUE(
        WaitUntil([&] { return icon->geometry().width() > 0 && icon->geometry().y() > 0; }, 10s))
        << "the icon was not embedded";
    Main->show();
    Main->BtnHideClick();
    ASSERT_TRUE(Main->isHidden());
    // The balloon points at the icon and would take the click: away with it.
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->inherits("QBalloonTip"))
            window->close();
    const QPoint centre = icon->geometry().center();
    Xdotool({"mousemove", QString::number(centre.x()), QString::number(centre.y()), "click", "1"});
    EXPECT_TRUE(WaitUntil([&] { return Main->isVisible(); }, 10s))
        << "a click on the tray icon did not show the window";
}

TEST_F(TrayTest, TheIconFollowsTheRecordingAndTheBalloonsStandAtIt) {
    TempDir folder;
    const QString file = QString::fromStdString((folder / "托盘录像.avi").string());
    Services.ChooseFile = [&](TFrmMain&, const QString&) { return std::optional<QString>(file); };
    QStringList shownFiles;
    Services.ShowFileInFolder = [&](const QString& shown) { shownFiles << shown; };
    // The program starts before the tray has taken its place, as at a login.
    Tray.kill();
    Tray.waitForFinished(5000);
    ASSERT_TRUE(WaitUntil([] { return !QSystemTrayIcon::isSystemTrayAvailable(); }, 5s));
    Main = std::make_unique<TFrmMain>(Services);
    Main->SetWindows(nullptr, nullptr, nullptr, nullptr, nullptr);
    WaitUntil([] { return false; }, 300ms);
    StartTray();
    QSystemTrayIcon* icon = Main->TrayIcon();
    ASSERT_NE(icon, nullptr);

    // The start-up balloon waits for the tray to place the icon, and then
    // stands beside it rather than in a corner of the screen.
    QWidget* first = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (first = Balloon()) != nullptr; }, 10s));
    const QRect place = icon->geometry();
    ASSERT_FALSE(place.isEmpty());
    EXPECT_TRUE(first->frameGeometry().adjusted(-100, -100, 100, 100).contains(place.center()))
        << "balloon at " << first->x() << "," << first->y() << ", icon at " << place.x() << ","
        << place.y();
    first->close();

    // Idle, recording and paused each look different in the tray.
    Main->BtnVoiceClick(); // no microphone needed here
    QImage idle;
    ASSERT_TRUE(WaitUntil([&] { return !(idle = IconPixels(*icon)).isNull(); }, 5s));
    QElapsedTimer running;
    running.start();
    Main->BtnStartClick();
    ASSERT_EQ(Main->State(), TRecordingState::Recording);
    QImage recording;
    EXPECT_TRUE(WaitUntil([&] { return (recording = IconPixels(*icon)) != idle; }, 5s))
        << "the icon did not change when recording started";
    EXPECT_TRUE(WaitUntil([&] { return icon->toolTip().contains("已录制 00:01"); }, 5s))
        << icon->toolTip().toStdString();
    Main->ChkPauseClick();
    qint64 recorded = running.elapsed();
    QImage paused;
    EXPECT_TRUE(
        WaitUntil([&] { return (paused = IconPixels(*icon)) != recording && paused != idle; }, 5s))
        << "the icon did not change when the recording paused";
    Main->ChkResumeClick();
    running.restart();
    WaitUntil([] { return false; }, 1200ms);
    Main->BtnStopClick();
    recorded += running.elapsed();

    // The balloon after Stop names the file and its length; a click on it
    // shows the file in its folder.
    ASSERT_TRUE(WaitUntil([&] { return Main->State() == TRecordingState::Idle; }, 20s));
    QString saved;
    ASSERT_TRUE(WaitUntil([&] { return (saved = BalloonText()).contains("录像已保存"); }, 10s));
    // The length without the pause, to the second.
    const QRegularExpressionMatch said =
        QRegularExpression(
            QStringLiteral("录像已保存：托盘录像\\.avi（时长 00:(\\d\\d)，大小 [0-9.]+ MB）"))
            .match(saved);
    ASSERT_TRUE(said.hasMatch()) << saved.toStdString();
    EXPECT_NEAR(said.captured(1).toInt(), recorded / 1000, 1) << saved.toStdString();
    const QPoint middle = Balloon()->frameGeometry().center();
    Xdotool({"mousemove", QString::number(middle.x()), QString::number(middle.y()), "click", "1"});
    EXPECT_TRUE(WaitUntil([&] { return !shownFiles.isEmpty(); }, 5s));
    EXPECT_EQ(shownFiles, QStringList{file});
}

// The settings window's hotkey rows on the real X server, with another
// program (an X client of the test) holding keys.
TEST_F(TrayTest, ChangedShowHideKeyReachesOtherProgramsAgain) {
    TOtherXClient other;
    ASSERT_TRUE(other.Connected());
    // A hotkey tool that took Ctrl+Alt+K with Caps Lock only: pressed
    // without it, the key reaches the field, but cannot be taken fully.
    const THotKey ctrlAltK = MakeHotKeyValue(MOD_CONTROL | MOD_ALT, 'K');
    ASSERT_TRUE(other.Grab(ctrlAltK, true));
    TempDir folder;
    Main = std::make_unique<TFrmMain>(Services);
    TFrmSetting setting(Main.get(), folder / "Setting.ini");
    Main->SetWindows(nullptr, nullptr, nullptr, nullptr, &setting);
    Main->show();
    ASSERT_NE(Main->HotKeyIds()[RowShowHide], 0);

    // The user clicks the show/hide field and presses combinations.
    setting.show();
    setting.activateWindow();
    TKeyCaptureEdit* field = setting.HotKeys->EditKeys[RowShowHide];
    ASSERT_TRUE(WaitUntil([&] { return setting.isActiveWindow(); }, 5s));
    field->setFocus();
    ASSERT_TRUE(WaitUntil([&] { return field->hasFocus(); }, 5s));
    Xdotool({"key", "ctrl+alt+k"});
    EXPECT_TRUE(WaitUntil(
        [&] { return setting.HotKeys->LabNote->text().contains("已被其他程序占用"); }, 5s))
        << setting.HotKeys->LabNote->text().toStdString();
    EXPECT_EQ(Main->HotKeyBindings()->Keys()[RowShowHide], kHotKeyTable[RowShowHide]);

    const THotKey ctrlShiftJ = MakeHotKeyValue(MOD_CONTROL | MOD_SHIFT, 'J');
    Xdotool({"key", "ctrl+shift+j"});
    ASSERT_TRUE(
        WaitUntil([&] { return Main->HotKeyBindings()->Keys()[RowShowHide] == ctrlShiftJ; }, 5s))
        << setting.HotKeys->LabNote->text().toStdString();
    EXPECT_EQ(Main->BtnClose->Hint(), "热键:Alt+Q");
    // Pressed again in the field, the program's own key is a choice there,
    // not the command.
    Xdotool({"key", "ctrl+shift+j"});
    WaitUntil([] { return false; }, 300ms);
    EXPECT_TRUE(Main->isVisible()) << "a key pressed while choosing ran its command";
    field->clearFocus();

    // Ctrl+S is free again: another program takes it and its presses reach it.
    other.UngrabAll();
    ASSERT_TRUE(other.Grab(kHotKeyTable[RowShowHide]));
    Xdotool({"key", "ctrl+s"});
    EXPECT_TRUE(other.WaitForKeyPress(3000)) << "Ctrl+S did not reach the other program";
    // The new key hides the window.
    Xdotool({"key", "ctrl+shift+j"});
    EXPECT_TRUE(WaitUntil([&] { return Main->isHidden(); }, 5s))
        << "the new key did not hide the window";
    other.UngrabAll();
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // The tray and the hotkeys need the X11 platform; without an X server the
    // test skips itself (or fails when a desktop was promised).
    std::unique_ptr<QApplication> app;
    if (HaveDisplay()) {
        qputenv("QT_QPA_PLATFORM", "xcb");
        app = std::make_unique<QApplication>(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
    }
    return RUN_ALL_TESTS();
}
