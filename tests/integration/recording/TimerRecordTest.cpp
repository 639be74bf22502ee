// vardocle-record waiting for a time of day: the wall clock in the user's
// time zone, not UTC, and the stop at --until.
#include "tests/support/TestSupport.h"

#include <QProcess>
#include <QTimeZone>

#include <gtest/gtest.h>
#include <thread>

using namespace vardocle;
using namespace std::chrono_literals;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

TEST(TimedRecord, StartsAtTheLocalTimeOfDayAndStopsAtUntil) {
    if (!test::HaveDisplay())
        GTEST_SKIP() << "needs an X server";
    // A zone far from UTC whose clock is not about to pass midnight.
    QByteArray zone;
    QDateTime now;
    for (const QByteArray candidate : {"Asia/Shanghai", "America/New_York"}) {
        now = QDateTime::currentDateTime().toTimeZone(QTimeZone(candidate));
        if (now.time() < QTime(23, 59, 0)) {
            zone = candidate;
            break;
        }
    }
    ASSERT_FALSE(zone.isEmpty());
    const QDateTime start = now.addSecs(4).addMSecs(-now.time().msec());
    const QDateTime until = start.addSecs(3);
    test::TempDir dir;
    const fs::path avi = dir / "timed.avi";
    QProcess recorder;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TZ", QString::fromLatin1(zone));
    recorder.setProcessEnvironment(environment);
    const Clock::time_point due =
        Clock::now() + std::chrono::milliseconds(QDateTime::currentDateTime().msecsTo(start));
    recorder.start(QString::fromStdString((test::BinDir() / "vardocle-record").string()),
                   {QString::fromStdString(avi.string()), "--rate", "5", "--no-sound", "--start-at",
                    start.time().toString("HH:mm:ss"), "--until",
                    until.time().toString("HH:mm:ss")});
    ASSERT_TRUE(recorder.waitForStarted(5000));
    while (!fs::exists(avi) && Clock::now() < due + 3s)
        std::this_thread::sleep_for(10ms);
    const double late = std::chrono::duration<double>(Clock::now() - due).count();
    EXPECT_GE(late, -0.05) << "started before its time (" << zone.toStdString() << ")";
    EXPECT_LE(late, 0.5) << "started late (" << zone.toStdString() << ")";
    ASSERT_TRUE(recorder.waitForFinished(15000));
    const std::string err = recorder.readAllStandardError().toStdString();
    EXPECT_EQ(recorder.exitCode(), 0) << err;
    EXPECT_NE(err.find("等待到今天 " + start.time().toString("HH:mm:ss").toStdString()),
              std::string::npos)
        << err;
    EXPECT_NEAR(test::ProbeStream(avi, "video")["duration"].toString().toDouble(), 3.0, 0.3);
}

TEST(TimedRecord, BadTimesAreRefusedWithExitStatusTwo) {
    const QString recorder = QString::fromStdString((test::BinDir() / "vardocle-record").string());
    for (const QStringList& arguments :
         {QStringList{"out.avi", "--start-at", "25:00"},
          QStringList{"out.avi", "--start-at", "7:5"},
          QStringList{"out.avi", "--start-at", "00:00:00"},
          QStringList{"out.avi", "--until", "12:00", "--seconds", "3"}}) {
        const test::ProcessResult result = test::RunProcess(recorder, arguments, 10s);
        EXPECT_EQ(result.ExitCode, 2) << arguments.join(' ').toStdString();
        EXPECT_FALSE(result.Err.isEmpty());
    }
}
