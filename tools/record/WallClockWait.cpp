#include "tools/record/WallClockWait.h"

#include <algorithm>

namespace vardocle {

namespace {

constexpr qint64 kLongestSleepMs = 1000;

} // namespace

QDateTime TodayAt(const TClockTime& Time) {
    return QDateTime(QDate::currentDate(), QTime(Time.Hour, Time.Minute, Time.Second));
}

QDateTime NextAt(const TClockTime& Time, const QDateTime& After) {
    QDateTime moment(After.date(), QTime(Time.Hour, Time.Minute, Time.Second));
    if (moment <= After)
        moment = QDateTime(After.date().addDays(1), QTime(Time.Hour, Time.Minute, Time.Second));
    return moment;
}

TWallClockWait::TWallClockWait(QDateTime Moment, std::function<void()> Due)
    : FMoment(std::move(Moment)), FDue(std::move(Due)) {
    FTimer.setSingleShot(true);
    FTimer.setTimerType(Qt::PreciseTimer);
    connect(&FTimer, &QTimer::timeout, this, &TWallClockWait::Check);
    Check();
}

void TWallClockWait::Check() {
    const qint64 left = QDateTime::currentDateTime().msecsTo(FMoment);
    if (left <= 0) {
        if (FDue)
            std::exchange(FDue, nullptr)();
        return;
    }
    FTimer.start(static_cast<int>(std::min(left, kLongestSleepMs)));
}

} // namespace vardocle
