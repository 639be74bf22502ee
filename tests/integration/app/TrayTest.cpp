// The main window's tray icon on a real tray (trayer, XEmbed), and what the
// user is told when another program holds one of the hotkeys first.
#include "app/HotKeyTable.h"
#include "app/RecordingState.h"
#include "app/uFrmMain.h"
#include "services/uFrmHelp.h"
#include "skin/ImageButton.h"
#include "skin/ImagingSession.h"
#include "tests/integration/app/ProgramDriver.h"
#include "tests/integration/hotkeys/OtherXClient.h"

#include <QApplication>
#include <QLabel>
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

class TrayTest : public ::testing::Test {
protected:
    void SetUp() override {
        VARDOCLE_REQUIRE_DISPLAY();
        Tray.start("trayer", {"--edge", "bottom", "--align", "right", "--widthtype", "request",
                              "--height", "24"});
        ASSERT_TRUE(Tray.waitForStarted());
        ASSERT_TRUE(WaitUntil([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, 10s))
            << "trayer did not take the tray";
        Services.ChooseFile = [](TFrmMain&, const QString&) { return std::optional<QString>(); };
        Services.DoUpdate = [](QWidget*, const char*) {};
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
