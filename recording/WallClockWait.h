#pragma once
// Waiting for a time of day on the wall clock. The clock is read again at
// least every second rather than slept on for the whole wait, so that a
// change of the system time or a suspend meanwhile does not move the moment.
#include "recording/AllDayOptions.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>

#include <functional>

namespace vardocle {

// The first moment at which the local wall clock reads that date and time:
// a time the clock skips (the night it is put forward) is the moment of the
// skip, a time it shows twice (the night it is put back) the first of them.
QDateTime LocalMoment(const QDate& Date, const QTime& Time);
// That time today, in the local time zone.
QDateTime TodayAt(const TClockTime& Time);
// The first moment of that time of day after `After`.
QDateTime NextAt(const TClockTime& Time, const QDateTime& After);

class TWallClockWait : public QObject {
public:
    // Calls Due once, on this thread, when the wall clock reaches Moment.
    TWallClockWait(QDateTime Moment, std::function<void()> Due);

private:
    void Check();

    QDateTime FMoment;
    std::function<void()> FDue;
    QTimer FTimer;
};

} // namespace vardocle
