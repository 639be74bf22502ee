// The moments of a recording on a timer on the local wall clock, in a zone
// far from UTC and across the nights the clock is put forward and back.
#include "app/timer/RecordingSchedule.h"
#include "recording/WallClockWait.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <ostream>
#include <string>

// Failures name the moment, not its bytes.
void PrintTo(const QDateTime& moment, std::ostream* out) {
    *out << moment.toUTC().toString(Qt::ISODateWithMs).toStdString();
}

namespace vardocle {
namespace {

// The zone of the test's own: the user's clock, not UTC.
class LocalZone {
public:
    explicit LocalZone(const char* zone) {
        if (const char* old = std::getenv("TZ"))
            FOld = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~LocalZone() {
        if (FOld)
            setenv("TZ", FOld->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::optional<std::string> FOld;
};

QDateTime Utc(const char* text) {
    return QDateTime::fromString(QString::fromLatin1(text), Qt::ISODate).toUTC();
}

TEST(ScheduleTime, TodayTomorrowAndADateAreLocalTimesOfThatDay) {
    const LocalZone zone("Asia/Shanghai");
    const QDate today(2026, 12, 10);
    const QTime eight(8, 0, 30, 999); // the milliseconds of the edit are dropped
    EXPECT_EQ(ScheduleStart(TScheduleDay::Today, {}, eight, today), Utc("2026-12-10T00:00:30Z"));
    EXPECT_EQ(ScheduleStart(TScheduleDay::Tomorrow, QDate(2030, 1, 1), eight, today),
              Utc("2026-12-11T00:00:30Z"));
    EXPECT_EQ(ScheduleStart(TScheduleDay::Date, QDate(2027, 1, 1), eight, today),
              Utc("2027-01-01T00:00:30Z"));
    // Tomorrow from the last day of a year.
    EXPECT_EQ(ScheduleStart(TScheduleDay::Tomorrow, {}, QTime(23, 59), QDate(2026, 12, 31)),
              Utc("2027-01-01T15:59:00Z"));
}

TEST(ScheduleTime, NightsTheClockChangesKeepTheWallClockTime) {
    const LocalZone zone("Europe/Berlin");
    // Put forward at 02:00 on 29 March 2026: 02:30 never shows; the start
    // is the moment of the skip, 03:00 summer time.
    EXPECT_EQ(LocalMoment(QDate(2026, 3, 29), QTime(2, 30)), Utc("2026-03-29T01:00:00Z"));
    EXPECT_EQ(ScheduleStart(TScheduleDay::Tomorrow, {}, QTime(2, 30), QDate(2026, 3, 28)),
              Utc("2026-03-29T01:00:00Z"));
    // Either side of the skip the clock reads as set.
    EXPECT_EQ(LocalMoment(QDate(2026, 3, 29), QTime(1, 59, 59)), Utc("2026-03-29T00:59:59Z"));
    EXPECT_EQ(LocalMoment(QDate(2026, 3, 29), QTime(3, 0)), Utc("2026-03-29T01:00:00Z"));
    // Tomorrow at 08:00 across the change is 08:00 summer time, not 23 hours on.
    EXPECT_EQ(ScheduleStart(TScheduleDay::Tomorrow, {}, QTime(8, 0), QDate(2026, 3, 28)),
              Utc("2026-03-29T06:00:00Z"));
    // Put back at 03:00 on 25 October 2026: 02:30 shows twice; the first.
    EXPECT_EQ(LocalMoment(QDate(2026, 10, 25), QTime(2, 30)), Utc("2026-10-25T00:30:00Z"));
    EXPECT_EQ(LocalMoment(QDate(2026, 10, 25), QTime(3, 30)), Utc("2026-10-25T02:30:00Z"));
    // The stop at a time of day after a start the evening before the skip.
    EXPECT_EQ(NextAt(TClockTime{2, 30, 0}, Utc("2026-03-28T22:00:00Z")),
              Utc("2026-03-29T01:00:00Z"));
}

TEST(ScheduleTime, ProblemsOfTheTimesAreToldAndAGoodScheduleHasNone) {
    const QDateTime now = QDateTime::currentDateTime();
    TRecordingSchedule schedule;
    schedule.File = QStringLiteral("/tmp/课程.avi");
    schedule.Start = now.addSecs(-1);
    EXPECT_TRUE(ScheduleTimeProblem(schedule, now).contains(QStringLiteral("已经过去")));
    EXPECT_TRUE(ScheduleMissed(schedule, now));
    schedule.Start = now.addSecs(60);
    EXPECT_FALSE(ScheduleMissed(schedule, now));
    EXPECT_EQ(ScheduleTimeProblem(schedule, now), QString());
    schedule.End = TScheduleEnd::At;
    schedule.StopAt = schedule.Start;
    EXPECT_TRUE(ScheduleTimeProblem(schedule, now).contains(QStringLiteral("不在开始时间")));
    schedule.StopAt = schedule.Start.addSecs(1);
    EXPECT_EQ(ScheduleTimeProblem(schedule, now), QString());
    EXPECT_EQ(ScheduleStop(schedule, schedule.Start.addSecs(5)), schedule.StopAt);
    // A length counts from the moment it really started.
    schedule.End = TScheduleEnd::After;
    schedule.Seconds = 90;
    EXPECT_EQ(ScheduleStop(schedule, now), now.addSecs(90));
    schedule.End = TScheduleEnd::ByHand;
    EXPECT_FALSE(ScheduleStop(schedule, now).has_value());
}

TEST(ScheduleTime, CountdownNeverReadsZeroBeforeTheStart) {
    EXPECT_EQ(CountdownText(1), QStringLiteral("还有 0:00:01"));
    EXPECT_EQ(CountdownText(3'723'000), QStringLiteral("还有 1:02:03"));
    EXPECT_EQ(CountdownText(2 * 86'400'000LL + 3'600'000), QStringLiteral("还有 2 天 1:00:00"));
    EXPECT_EQ(CountdownText(-5), QStringLiteral("还有 0:00:00"));
}

} // namespace
} // namespace vardocle
