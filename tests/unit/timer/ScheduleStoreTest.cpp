// The recording on a timer kept in Setting.ini: what is read back, what is
// ignored, and what the timer does with it when the program starts again.
#include "app/timer/ScheduleStore.h"
#include "app/IniFile.h"
#include "app/timer/RecordingTimer.h"
#include "tests/support/TestSupport.h"
#include "tests/unit/settings/SettingFiles.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

namespace vardocle {
namespace {

using test::ReadFile;
using test::WriteFile;

class ScheduleStoreTest : public ::testing::Test {
protected:
    TRecordingSchedule Scheduled(QDateTime start) const {
        TRecordingSchedule schedule;
        schedule.Start = start;
        schedule.File = QStringLiteral("/录像/课程 一.avi");
        return schedule;
    }
    test::TempDir Dir;
    std::filesystem::path File = Dir / "Setting.ini";
};

TEST_F(ScheduleStoreTest, EachEndIsReadBackAsSavedAndRemovalKeepsTheOtherKeys) {
    WriteFile(File, "[Main]\nRate=5\nSegmentMinutes=10\n");
    // Whole seconds: the dialog sets no milliseconds.
    const QDateTime start = QDateTime::currentDateTime().addDays(1).addMSecs(
        -QDateTime::currentDateTime().time().msec());
    TRecordingSchedule byHand = Scheduled(start);
    TRecordingSchedule after = Scheduled(start);
    after.End = TScheduleEnd::After;
    after.Seconds = 5400;
    after.Replace = true;
    TRecordingSchedule at = Scheduled(start);
    at.End = TScheduleEnd::At;
    at.StopAt = start.addSecs(3 * 3600);
    for (const TRecordingSchedule& schedule : {after, byHand, at}) {
        SaveSchedule(File, schedule);
        const auto loaded = LoadSchedule(File);
        ASSERT_TRUE(loaded.has_value());
        EXPECT_EQ(*loaded, schedule) << static_cast<int>(schedule.End);
    }
    RemoveSchedule(File);
    EXPECT_FALSE(LoadSchedule(File).has_value());
    EXPECT_EQ(ReadFile(File), "[Main]\nRate=5\nSegmentMinutes=10\n");
}

TEST_F(ScheduleStoreTest, MissingOrGarbledKeysAreIgnored) {
    EXPECT_FALSE(LoadSchedule(File).has_value()) << "no file";
    const std::string start = "TimerStart=2030-01-02T08:00:00+08:00\n";
    const auto load = [&](const std::string& keys) {
        WriteFile(File, "[Main]\nRate=5\n" + keys);
        return LoadSchedule(File);
    };
    EXPECT_FALSE(load(start).has_value()) << "no file name";
    EXPECT_FALSE(load("TimerFile=/a.avi\n").has_value()) << "no start";
    EXPECT_FALSE(load("TimerFile=/a.avi\nTimerStart=tomorrow\n").has_value());
    // Without its offset a time is not one moment.
    EXPECT_FALSE(load("TimerFile=/a.avi\nTimerStart=2030-01-02T08:00:00\n").has_value());
    const auto good = load(start + "TimerFile=/a.avi\n");
    ASSERT_TRUE(good.has_value());
    EXPECT_EQ(good->Start, QDateTime::fromString("2030-01-02T00:00:00Z", Qt::ISODate));
    EXPECT_EQ(good->End, TScheduleEnd::ByHand);
    // An end that cannot be read is left to the user, never an early stop.
    for (const std::string end :
         {"TimerSeconds=abc\n", "TimerSeconds=0\n", "TimerSeconds=-5\n", "TimerSeconds=9x\n",
          "TimerUntil=soon\n", "TimerUntil=2030-01-02T07:00:00+08:00\n"}) {
        const auto loaded = load(start + "TimerFile=/a.avi\n" + end);
        ASSERT_TRUE(loaded.has_value()) << end;
        EXPECT_EQ(loaded->End, TScheduleEnd::ByHand) << end;
    }
    EXPECT_EQ(load(start + "TimerFile=/a.avi\nTimerSeconds=60\n")->Seconds, 60);
}

// The timer on the event loop, as the program runs it.
class RecordingTimerTest : public ScheduleStoreTest {
protected:
    void SetUp() override {
        if (!QCoreApplication::instance())
            FApplication = std::make_unique<QCoreApplication>(FArgc, FArgv);
        Hooks.Start = [this](const TRecordingSchedule& schedule) {
            Started.push_back(schedule);
            StartedAt = QDateTime::currentDateTime();
            return true;
        };
        Hooks.Stop = [this] { StoppedAt = QDateTime::currentDateTime(); };
        Hooks.ShowWaiting = [this](const QString& line) { Tip = line; };
    }
    bool RunUntil(const std::function<bool()>& done, int limitMs = 5000) {
        QElapsedTimer clock;
        clock.start();
        while (!done() && clock.elapsed() < limitMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return done();
    }

    int FArgc = 1;
    char FName[8] = "test";
    char* FArgv[2] = {FName, nullptr};
    std::unique_ptr<QCoreApplication> FApplication;
    TRecordingTimer::THooks Hooks;
    std::vector<TRecordingSchedule> Started;
    QDateTime StartedAt;
    QDateTime StoppedAt;
    QString Tip;
};

TEST_F(RecordingTimerTest, OneMissedWhileAwayIsToldAndRemovedNotStarted) {
    const QDateTime now = QDateTime::currentDateTime();
    SaveSchedule(File, Scheduled(now.addSecs(-120)));
    TRecordingTimer timer(File, Hooks, nullptr);
    const QString told = timer.Restore(now);
    EXPECT_TRUE(told.contains(ScheduleTimeText(now.addSecs(-120)))) << told.toStdString();
    EXPECT_TRUE(told.contains(QStringLiteral("/录像/课程 一.avi"))) << told.toStdString();
    EXPECT_FALSE(LoadSchedule(File).has_value());
    EXPECT_FALSE(timer.Waiting().has_value());
    QCoreApplication::processEvents();
    EXPECT_TRUE(Started.empty());
}

TEST_F(RecordingTimerTest, AKeptScheduleStartsAtItsTimeOnceAndStopsAfterItsLength) {
    const QDateTime start = QDateTime::currentDateTime().addMSecs(600);
    TRecordingSchedule schedule = Scheduled(start);
    schedule.End = TScheduleEnd::After;
    schedule.Seconds = 1;
    SaveSchedule(File, schedule);
    TRecordingTimer timer(File, Hooks, nullptr);
    EXPECT_EQ(timer.Restore(QDateTime::currentDateTime()), QString());
    EXPECT_TRUE(Tip.contains(QStringLiteral("定时录制"))) << Tip.toStdString();
    ASSERT_TRUE(RunUntil([&] { return !Started.empty(); }));
    EXPECT_GE(StartedAt, start);
    EXPECT_LT(start.msecsTo(StartedAt), 200);
    EXPECT_EQ(Started.front(), schedule);
    EXPECT_TRUE(Tip.isEmpty());
    EXPECT_FALSE(LoadSchedule(File).has_value()) << "kept after it started";
    ASSERT_TRUE(RunUntil([&] { return StoppedAt.isValid(); }));
    EXPECT_NEAR(StartedAt.msecsTo(StoppedAt), 1000, 200);
    EXPECT_EQ(Started.size(), 1u);
}

TEST_F(RecordingTimerTest, ACancelledOrHandStoppedOneDoesNothingMore) {
    TRecordingSchedule schedule = Scheduled(QDateTime::currentDateTime().addMSecs(300));
    TRecordingTimer timer(File, Hooks, nullptr);
    timer.Set(schedule);
    EXPECT_TRUE(LoadSchedule(File).has_value());
    timer.Cancel();
    EXPECT_FALSE(LoadSchedule(File).has_value());
    EXPECT_FALSE(RunUntil([&] { return !Started.empty(); }, 800));

    // Stopped by hand before its length is up: no second Stop later.
    schedule = Scheduled(QDateTime::currentDateTime().addMSecs(100));
    schedule.End = TScheduleEnd::After;
    schedule.Seconds = 1;
    timer.Set(schedule);
    ASSERT_TRUE(RunUntil([&] { return !Started.empty(); }));
    timer.RecordingEnded();
    EXPECT_FALSE(RunUntil([&] { return StoppedAt.isValid(); }, 1500));
}

TEST_F(RecordingTimerTest, AFileThatCannotBeWrittenIsToldAndTheRecordingStillWaits) {
    TRecordingTimer timer(Dir / "no such folder" / "Setting.ini", Hooks, nullptr);
    const QString told = timer.Set(Scheduled(QDateTime::currentDateTime().addMSecs(200)));
    EXPECT_TRUE(told.contains(QStringLiteral("无法保存"))) << told.toStdString();
    EXPECT_TRUE(RunUntil([&] { return !Started.empty(); }));
}

} // namespace
} // namespace vardocle
