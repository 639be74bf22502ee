#include "history/RecordTime.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace vardocle {
namespace {

TEST(RecordTime, CountsDaysSinceTheEndOf1899) {
    EXPECT_DOUBLE_EQ(LocalDateTimeToRecordTime({QDate(1899, 12, 30), QTime(0, 0)}), 0.0);
    EXPECT_DOUBLE_EQ(LocalDateTimeToRecordTime({QDate(1900, 1, 1), QTime(0, 0)}), 2.0);
    EXPECT_DOUBLE_EQ(LocalDateTimeToRecordTime({QDate(2024, 3, 1), QTime(12, 0)}), 45352.5);
    // Before the epoch the whole part counts back, the time of day forward.
    EXPECT_DOUBLE_EQ(LocalDateTimeToRecordTime({QDate(1899, 12, 29), QTime(6, 0)}), -1.25);
    const auto early = RecordTimeToLocalDateTime(-1.25);
    ASSERT_TRUE(early);
    EXPECT_EQ(early->Date, QDate(1899, 12, 29));
    EXPECT_EQ(early->Time, QTime(6, 0));
}

TEST(RecordTime, KeepsMilliseconds) {
    const LocalDateTime moment{QDate(2025, 6, 15), QTime(13, 45, 30, 123)};
    const auto back = RecordTimeToLocalDateTime(LocalDateTimeToRecordTime(moment));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->Date, moment.Date);
    EXPECT_EQ(back->Time, moment.Time);

    // A hair before midnight rounds to the next day, not to an invalid 24:00.
    const auto rounded = RecordTimeToLocalDateTime(45352.9999999999);
    ASSERT_TRUE(rounded);
    EXPECT_EQ(rounded->Date, QDate(2024, 3, 2));
    EXPECT_EQ(rounded->Time, QTime(0, 0));
}

TEST(RecordTime, NowIsTheLocalClock) {
    const QDateTime before = QDateTime::currentDateTime();
    const auto now = RecordTimeToLocalDateTime(RecordTimeNow());
    const QDateTime after = QDateTime::currentDateTime();
    ASSERT_TRUE(now);
    const QDateTime read(now->Date, now->Time);
    EXPECT_LE(before.toMSecsSinceEpoch(), read.toMSecsSinceEpoch() + 1);
    EXPECT_GE(after.toMSecsSinceEpoch() + 1, read.toMSecsSinceEpoch());
}

TEST(RecordTime, ValuesNoDateAnswersGiveNoText) {
    for (const double bad : {std::numeric_limits<double>::quiet_NaN(),
                             std::numeric_limits<double>::infinity(), 1e300, -1e300, 3e6}) {
        EXPECT_FALSE(RecordTimeToLocalDateTime(bad)) << bad;
        EXPECT_EQ(FormatRecordTime(bad, QLocale(QLocale::English, QLocale::UnitedStates)), "");
    }
}

TEST(RecordTime, TextIsShortDateAndLongTimeWithoutZone) {
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const QLocale german(QLocale::German, QLocale::Germany);
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    const double afternoon = LocalDateTimeToRecordTime({QDate(2024, 3, 1), QTime(13, 4, 5)});
    EXPECT_EQ(FormatRecordTime(afternoon, us), "3/1/24 1:04:05 PM");
    EXPECT_EQ(FormatRecordTime(afternoon, german), "01.03.24 13:04:05");
    EXPECT_EQ(FormatRecordTime(afternoon, chinese), "2024/3/1 13:04:05");
}

TEST(RecordTime, MidnightShowsTheDateAlone) {
    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(FormatRecordTime(45352.0, german), "01.03.24");
    // Only hours, minutes and seconds count.
    const double halfSecond = LocalDateTimeToRecordTime({QDate(2024, 3, 1), QTime(0, 0, 0, 500)});
    EXPECT_EQ(FormatRecordTime(halfSecond, german), "01.03.24");
    const double oneSecond = LocalDateTimeToRecordTime({QDate(2024, 3, 1), QTime(0, 0, 1)});
    EXPECT_EQ(FormatRecordTime(oneSecond, german), "01.03.24 00:00:01");
}

} // namespace
} // namespace vardocle
