// The recording's area chosen as a user does it: the settings row's menu,
// the pick overlay driven by the mouse and keys, the choice kept in
// Setting.ini across a restart, and a hand-edited area off the screen.
#include "tests/integration/app/ProgramDriver.h"

#include <QPoint>
#include <QRegularExpression>

using namespace vardocle::test;

namespace {

class AreaChoiceScenario : public ProgramTest {
protected:
    void StartAndWaitForAnswer(bool keepErrors = false) {
        StartProgram(Program, QStringLiteral("http://127.0.0.1:9"), keepErrors);
        ASSERT_TRUE(WaitUntil([&] { return Command({"show"}).ExitCode == 0; }, 30s))
            << "the running copy never answered";
    }
    // The settings window opened by its button on the main window; its origin.
    QPoint OpenSettings() {
        // Shown on the command may still be on its way to the screen.
        const QString main = OnlyWindow("Vardocle");
        EXPECT_FALSE(main.isEmpty()) << "no main window";
        Xdotool({"mousemove", "--window", main, "152", "12", "click", "1"});
        const QString settings = OnlyWindow("设置");
        EXPECT_FALSE(settings.isEmpty()) << "no settings window";
        const QString geometry = Xdotool({"getwindowgeometry", settings});
        const auto match = QRegularExpression("Position: (\\d+),(\\d+)").match(geometry);
        return {match.captured(1).toInt(), match.captured(2).toInt()};
    }
    // The area row's button, beneath the sound row, opens its menu; the
    // third line is 选择区域…, the fourth 选择窗口….
    void PickFromMenu(const QPoint& settings, int line = 3) {
        const QPoint button = settings + QPoint(147, 24 + 150 + 28 + 15);
        Xdotool(
            {"mousemove", QString::number(button.x()), QString::number(button.y()), "click", "1"});
        QThread::msleep(500);
        for (int i = 0; i < line; ++i)
            Key("Down");
        Key("Return");
        ASSERT_TRUE(WaitForWindowCount("选择录制范围", 1)) << "the overlay did not open";
    }
    void Drag(QPoint from, QPoint to) {
        Xdotool(
            {"mousemove", QString::number(from.x()), QString::number(from.y()), "mousedown", "1"});
        const QPoint middle = (from + to) / 2;
        Xdotool({"mousemove", QString::number(middle.x()), QString::number(middle.y())});
        Xdotool({"mousemove", QString::number(to.x()), QString::number(to.y()), "mouseup", "1"});
    }
};

TEST_F(AreaChoiceScenario, ARegionDrawnAdjustedAndTakenIsKeptAndEscChangesNothing) {
    StartAndWaitForAnswer();
    const QPoint settings = OpenSettings();
    PickFromMenu(settings);
    Drag({100, 100}, {500, 400}); // 400×300 at 100,100
    Drag({501, 250}, {601, 250}); // the right edge, 100 px further
    Key("Right");                 // one pixel to the right
    Key("shift+Down");            // ten down
    Key("Return");
    ASSERT_TRUE(WaitForWindowCount("选择录制范围", 0)) << "Return did not take the region";

    // Again, drawn elsewhere and left with Esc: nothing changes.
    PickFromMenu(settings);
    Drag({700, 600}, {900, 800});
    Key("Escape");
    ASSERT_TRUE(WaitForWindowCount("选择录制范围", 0)) << "Esc did not close the overlay";
    Quit();
    std::string text = Settings();
    EXPECT_NE(text.find("Area=region:101,110,500,300"), std::string::npos) << text;
    // The size fields took the region's size; the old keys keep their order.
    EXPECT_NE(text.find("Width=500\nHeight=300\n"), std::string::npos) << text;
    EXPECT_LT(text.find("Height="), text.find("Area="));

    // After a restart it is still the choice.
    StartAndWaitForAnswer();
    Quit();
    text = Settings();
    EXPECT_NE(text.find("Area=region:101,110,500,300"), std::string::npos) << text;
}

TEST_F(AreaChoiceScenario, AWindowIsPickedByAClickOnIt) {
    StartAndWaitForAnswer();
    const QString main = OnlyWindow("Vardocle");
    const QPoint settings = OpenSettings();
    PickFromMenu(settings, 4);
    // The main window (at 563,216, 242×89), clicked in its middle.
    Xdotool({"mousemove", "600", "240"});
    Xdotool({"mousemove", "650", "250", "click", "1"});
    ASSERT_TRUE(WaitForWindowCount("选择录制范围", 0)) << "the click did not take a window";
    Quit();
    const std::string text = Settings();
    const std::string expected =
        "Area=window:0x" + QString::number(main.toULong(), 16).toStdString();
    EXPECT_NE(text.find(expected), std::string::npos) << expected << " in\n" << text;
    EXPECT_NE(text.find("Width=242\nHeight=88\n"), std::string::npos) << text;
}

TEST_F(AreaChoiceScenario, AHandEditedRegionOffTheScreenIsToldAndNothingStarts) {
    std::ofstream(Folder / "bin" / "Setting.ini")
        << "[Main]\nRate=5\nArea=region:5000,4000,320,240\n";
    StartAndWaitForAnswer(true);
    const fs::path video = Folder / "videos" / "off.avi";
    const ProcessResult start = Command({"start", Path(video)});
    EXPECT_EQ(start.ExitCode, 1) << start.Out.toStdString();
    EXPECT_FALSE(fs::exists(video));
    QString errors;
    EXPECT_TRUE(WaitUntil([&] {
        Program.waitForReadyRead(200);
        errors += QString::fromUtf8(Program.readAllStandardError());
        return errors.contains("不在屏幕上");
    })) << "no message about the region: "
        << errors.toStdString();
    // The program goes on, and a command's own area replaces the stored one.
    EXPECT_EQ(Command({"show"}).ExitCode, 0);
    EXPECT_EQ(Command({"start", Path(video), "--area", "region:-5,0,10,10"}).ExitCode, 1);
    EXPECT_EQ(Command({"start", Path(video), "--area", "garbage"}).ExitCode, 2);
    Quit();
}

} // namespace
