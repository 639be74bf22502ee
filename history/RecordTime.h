#pragma once
// The history's time stamps: days since 30 December 1899, 00:00 local time,
// the whole part the date and the fraction the time of day, to the millisecond.
#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>
#include <optional>

namespace vardocle {

// A wall-clock moment as the user saw it, without a time zone: a local time
// that falls into a daylight-saving gap must come back exactly as stored.
struct LocalDateTime {
    QDate Date;
    QTime Time;
};

double LocalDateTimeToRecordTime(const LocalDateTime& moment);

// Empty for values that no calendar date answers (a damaged record).
std::optional<LocalDateTime> RecordTimeToLocalDateTime(double recordTime);

// The local time now, to the millisecond.
double RecordTimeNow();

// The locale's long time format without the time-zone part: the stored time is
// a wall-clock time whose zone is unknown.
QString LongTimeFormatWithoutZone(const QLocale& locale);

// Short date, one blank, long time; the time is left out when its hours,
// minutes and seconds are all zero. Empty for a value no date answers.
// Keeps the locale's formats, so that a long list is formatted quickly.
class TRecordTimeText {
public:
    explicit TRecordTimeText(const QLocale& locale = QLocale());
    QString operator()(double recordTime) const;

private:
    QLocale FLocale;
    QString FTimeFormat;
};

QString FormatRecordTime(double recordTime, const QLocale& locale = QLocale());

} // namespace vardocle
