#include "recording/WallClockWait.h"

#include <algorithm>
#include <optional>

namespace vardocle {

namespace {

constexpr qint64 kLongestSleepMs = 1000;
constexpr qint64 kSecondsPerDay = qint64{24} * 60 * 60;

// What the local clock reads at a moment, counted like seconds since the epoch.
qint64 Reading(qint64 Moment) {
    return Moment + QDateTime::fromSecsSinceEpoch(Moment).offsetFromUtc();
}

} // namespace

QDateTime LocalMoment(const QDate& Date, const QTime& Time) {
    const qint64 wanted = QDateTime(Date, Time, Qt::UTC).toSecsSinceEpoch();
    // The clock's offset a day either side covers any change that night.
    qint64 earliest = 0;
    qint64 latest = 0;
    std::optional<qint64> found;
    bool first = true;
    for (const qint64 probe : {wanted - kSecondsPerDay, wanted, wanted + kSecondsPerDay}) {
        const qint64 moment = wanted - (Reading(probe) - probe);
        earliest = first ? moment : std::min(earliest, moment);
        latest = first ? moment : std::max(latest, moment);
        first = false;
        if (Reading(moment) == wanted && (!found || moment < *found))
            found = moment;
    }
    if (!found) {
        // Skipped: the first moment whose reading is not before the wanted one.
        qint64 low = earliest;
        qint64 high = latest;
        while (low < high) {
            const qint64 middle = low + (high - low) / 2;
            if (Reading(middle) >= wanted)
                high = middle;
            else
                low = middle + 1;
        }
        found = high;
    }
    return QDateTime::fromMSecsSinceEpoch(*found * 1000 + Time.msec());
}

QDateTime TodayAt(const TClockTime& Time) {
    return LocalMoment(QDate::currentDate(), QTime(Time.Hour, Time.Minute, Time.Second));
}

QDateTime NextAt(const TClockTime& Time, const QDateTime& After) {
    const QTime time(Time.Hour, Time.Minute, Time.Second);
    const QDate day = After.toLocalTime().date();
    QDateTime moment = LocalMoment(day, time);
    if (moment <= After)
        moment = LocalMoment(day.addDays(1), time);
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
