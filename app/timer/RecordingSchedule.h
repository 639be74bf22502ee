#pragma once
// A recording set to start at a time: when, into which file, and how it
// ends. What is decided here needs no window: the moments on the local wall
// clock, what is wrong with a schedule, what the tray says while it waits.
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>

#include <cstdint>
#include <optional>

namespace vardocle {

// How a scheduled recording ends: by hand (Stop), after a length of
// recorded time counted from its start, or at a moment.
enum class TScheduleEnd { ByHand, After, At };

struct TRecordingSchedule {
    QDateTime Start; // local time
    QString File;    // the video file, as the save dialog gives it
    TScheduleEnd End = TScheduleEnd::ByHand;
    std::int64_t Seconds = 0; // After: how long
    QDateTime StopAt;         // At: when
    // The user agreed, when setting it, to replace an existing file.
    bool Replace = false;

    bool operator==(const TRecordingSchedule&) const = default;
};

// The day the dialog offers: today, tomorrow, or a date of the user's.
enum class TScheduleDay { Today, Tomorrow, Date };

// The start moment for the day chosen, `today` being the local date now.
QDateTime ScheduleStart(TScheduleDay day, const QDate& date, const QTime& time, const QDate& today);

// When a started recording ends; none when it ends by hand.
std::optional<QDateTime> ScheduleStop(const TRecordingSchedule& schedule, const QDateTime& started);

// What is wrong with the times of a schedule set at `now`, in one Chinese
// sentence; empty when nothing is.
QString ScheduleTimeProblem(const TRecordingSchedule& schedule, const QDateTime& now);

// Whether a schedule found at the program's start can still happen: its start
// is not yet past. One that is past was missed while the program was not
// running and is not started late.
bool ScheduleMissed(const TRecordingSchedule& schedule, const QDateTime& now);

// "2026-12-10 08:00:00"
QString ScheduleTimeText(const QDateTime& moment);
// "还有 1:02:03", "还有 2 天 3:04:05": the time left, in whole seconds.
QString CountdownText(qint64 milliseconds);
// The tray tip's line while the recording waits for its start.
QString ScheduleTipLine(const TRecordingSchedule& schedule, const QDateTime& now);
// Told at start-up about a schedule missed while the program did not run.
QString ScheduleMissedText(const TRecordingSchedule& schedule);
// Told when a recording is already running at the start time.
QString ScheduleBusyText(const TRecordingSchedule& schedule);

} // namespace vardocle
