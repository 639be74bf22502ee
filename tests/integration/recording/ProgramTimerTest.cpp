// The windowed program's recordings on a timer, kept in Setting.ini: one
// set before a restart starts on its slot and stops on time; one whose time
// passed while the program was not running is told about, not started.
#include "tests/integration/app/ProgramDriver.h"

#include <QDateTime>

#include <cstdio>
#include <fstream>
#include <iterator>

using namespace vardocle;
using namespace vardocle::test;
using Clock = std::chrono::steady_clock;

namespace {

class ProgramTimer : public ProgramTest {
protected:
    void WaitForCommands() {
        ASSERT_TRUE(WaitUntil([&] { return Command({"show"}).ExitCode == 0; }, 30s));
    }
    // The settings of a run without sound, with a recording set for `start`.
    void Schedule(const QDateTime& start, const std::string& end) {
        const QString moment = start.toOffsetFromUtc(start.offsetFromUtc()).toString(Qt::ISODate);
        std::ofstream(Folder / "bin" / "Setting.ini")
            << "[Main]\nRate=5\nSound=none\nTimerStart=" << moment.toStdString()
            << "\nTimerFile=" << Video.string() << "\n"
            << end;
    }
    const fs::path Video = Folder / "videos" / "定时 录像.avi";
};

} // namespace

TEST_F(ProgramTimer, AScheduleSurvivesARestartStartsOnItsSlotAndStopsOnTime) {
    const QDateTime now = QDateTime::currentDateTime();
    const QDateTime start = now.addSecs(14).addMSecs(-now.time().msec());
    Schedule(start, "TimerSeconds=3\n");
    StartProgram(Program);
    WaitForCommands();
    Quit();
    EXPECT_NE(Settings().find("TimerStart="), std::string::npos) << "lost when the program ended";
    EXPECT_FALSE(fs::exists(Video));

    StartProgram(Program);
    WaitForCommands();
    const Clock::time_point due =
        Clock::now() + std::chrono::milliseconds(QDateTime::currentDateTime().msecsTo(start));
    ASSERT_GT(due, Clock::now()) << "the program took too long to start again";
    while (!fs::exists(Video) && Clock::now() < due + 5s)
        std::this_thread::sleep_for(5ms);
    // The file is made with the first frame; the poll itself lags by 5 ms.
    const double late = std::chrono::duration<double>(Clock::now() - due).count();
    std::printf("the file appeared %.0f ms after the set time\n", late * 1000);
    EXPECT_GE(late, -0.01) << "started before its time";
    EXPECT_LE(late, 0.2) << "started later than one slot";
    EXPECT_EQ(Settings().find("TimerStart="), std::string::npos) << "kept after it started";

    std::this_thread::sleep_until(due + 5s);
    Quit();
    EXPECT_NEAR(ProbeStream(Video, "video")["duration"].toString().toDouble(), 3.0, 0.21)
        << "stopped when its three seconds were up";
}

TEST_F(ProgramTimer, OneMissedWhileTheProgramWasNotRunningIsToldAndNotStarted) {
    const QDateTime start = QDateTime::currentDateTime().addSecs(-90);
    Schedule(start, "TimerSeconds=3\n");
    StartProgram(Program, QStringLiteral("http://127.0.0.1:9"), true);
    QString errors;
    EXPECT_TRUE(WaitUntil([&] {
        Program.waitForReadyRead(200);
        errors += QString::fromUtf8(Program.readAllStandardError());
        return errors.contains(QStringLiteral("定时录制没有进行"));
    })) << errors.toStdString();
    EXPECT_TRUE(errors.contains(start.toString("yyyy-MM-dd HH:mm:ss"))) << errors.toStdString();
    EXPECT_TRUE(errors.contains(QString::fromStdString(Video.string()))) << errors.toStdString();
    WaitForCommands();
    std::this_thread::sleep_for(1s);
    EXPECT_FALSE(fs::exists(Video)) << "started late";
    EXPECT_EQ(Settings().find("TimerStart="), std::string::npos) << "kept after it was told";
    Quit();
}
