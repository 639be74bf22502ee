#include "history/RecordTime.h"

#include <QDateTime>
#include <cmath>

namespace vardocle {

namespace {

constexpr qint64 kMsecsPerDay = 24LL * 60 * 60 * 1000;
// 1 January 0001 and 31 December 9999, the calendar the stamps are used with.
constexpr double kFirstDay = -693593.0;
constexpr double kLastDay = 2958466.0;

QDate Epoch() {
    return QDate(1899, 12, 30);
}

} // namespace

double LocalDateTimeToRecordTime(const LocalDateTime& moment) {
    const auto days = static_cast<double>(Epoch().daysTo(moment.Date));
    const double fraction =
        static_cast<double>(moment.Time.msecsSinceStartOfDay()) / static_cast<double>(kMsecsPerDay);
    // Before the epoch the time of day still counts forward from midnight,
    // while the whole part counts backwards.
    return days >= 0 ? days + fraction : days - fraction;
}

std::optional<LocalDateTime> RecordTimeToLocalDateTime(double recordTime) {
    if (!std::isfinite(recordTime) || recordTime <= kFirstDay - 1 || recordTime >= kLastDay)
        return std::nullopt;
    const double whole = std::trunc(recordTime);
    auto msecs = std::llround(std::fabs(recordTime - whole) * static_cast<double>(kMsecsPerDay));
    auto days = static_cast<qint64>(whole);
    if (msecs >= kMsecsPerDay) {
        msecs = 0;
        ++days;
    }
    LocalDateTime moment{Epoch().addDays(days), QTime::fromMSecsSinceStartOfDay(int(msecs))};
    if (!moment.Date.isValid() || !moment.Time.isValid())
        return std::nullopt;
    return moment;
}

double RecordTimeNow() {
    const QDateTime now = QDateTime::currentDateTime();
    return LocalDateTimeToRecordTime({now.date(), now.time()});
}

QString LongTimeFormatWithoutZone(const QLocale& locale) {
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString kept;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == u'\'')
            quoted = !quoted;
        if (!quoted && c == u't')
            continue;
        kept += c;
    }
    // What surrounded the zone (brackets, blanks) goes with it.
    kept.remove(QStringLiteral("()"));
    kept.remove(QStringLiteral("[]"));
    return kept.simplified();
}

TRecordTimeText::TRecordTimeText(const QLocale& locale)
    : FLocale(locale), FTimeFormat(LongTimeFormatWithoutZone(locale)) {}

QString TRecordTimeText::operator()(double recordTime) const {
    const auto moment = RecordTimeToLocalDateTime(recordTime);
    if (!moment)
        return {};
    QString text = FLocale.toString(moment->Date, QLocale::ShortFormat);
    const QTime& time = moment->Time;
    if (time.hour() != 0 || time.minute() != 0 || time.second() != 0)
        text += u' ' + FLocale.toString(time, FTimeFormat);
    return text;
}

QString FormatRecordTime(double recordTime, const QLocale& locale) {
    return TRecordTimeText(locale)(recordTime);
}

} // namespace vardocle
