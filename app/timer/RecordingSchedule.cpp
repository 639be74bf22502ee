#include "app/timer/RecordingSchedule.h"

#include "recording/WallClockWait.h"

namespace vardocle {

QDateTime ScheduleStart(TScheduleDay day, const QDate& date, const QTime& time,
                        const QDate& today) {
    const QTime second(time.hour(), time.minute(), time.second());
    switch (day) {
    case TScheduleDay::Today:
        return LocalMoment(today, second);
    case TScheduleDay::Tomorrow:
        return LocalMoment(today.addDays(1), second);
    case TScheduleDay::Date:
        break;
    }
    return LocalMoment(date, second);
}

std::optional<QDateTime> ScheduleStop(const TRecordingSchedule& schedule,
                                      const QDateTime& started) {
    switch (schedule.End) {
    case TScheduleEnd::ByHand:
        return std::nullopt;
    case TScheduleEnd::After:
        return started.addSecs(schedule.Seconds);
    case TScheduleEnd::At:
        break;
    }
    return schedule.StopAt;
}

QString ScheduleTimeProblem(const TRecordingSchedule& schedule, const QDateTime& now) {
    if (!schedule.Start.isValid())
        return QStringLiteral("开始时间无效，请重新选择。");
    if (schedule.Start <= now)
        return QStringLiteral("开始时间 %1 已经过去，请选择以后的时间。")
            .arg(ScheduleTimeText(schedule.Start));
    if (schedule.End == TScheduleEnd::After && schedule.Seconds <= 0)
        return QStringLiteral("录制时长必须大于零。");
    if (schedule.End == TScheduleEnd::At &&
        (!schedule.StopAt.isValid() || schedule.StopAt <= schedule.Start))
        return QStringLiteral("结束时间 %1 不在开始时间 %2 之后，请重新选择。")
            .arg(ScheduleTimeText(schedule.StopAt), ScheduleTimeText(schedule.Start));
    return {};
}

bool ScheduleMissed(const TRecordingSchedule& schedule, const QDateTime& now) {
    return schedule.Start <= now;
}

QString ScheduleTimeText(const QDateTime& moment) {
    return moment.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString CountdownText(qint64 milliseconds) {
    // Rounded up: the tip never reads "0:00:00" before the start.
    const qint64 seconds = (std::max<qint64>(0, milliseconds) + 999) / 1000;
    const qint64 days = seconds / 86400;
    const QString clock = QStringLiteral("%1:%2:%3")
                              .arg(seconds % 86400 / 3600)
                              .arg(seconds % 3600 / 60, 2, 10, QLatin1Char('0'))
                              .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return days > 0 ? QStringLiteral("还有 %1 天 %2").arg(days).arg(clock)
                    : QStringLiteral("还有 %1").arg(clock);
}

QString ScheduleTipLine(const TRecordingSchedule& schedule, const QDateTime& now) {
    return QStringLiteral("定时录制：%1 开始（%2）")
        .arg(ScheduleTimeText(schedule.Start), CountdownText(now.msecsTo(schedule.Start)));
}

QString ScheduleMissedText(const TRecordingSchedule& schedule) {
    return QStringLiteral("定时录制没有进行：原定于 %1 开始录制到 %2，但那时 Vardocle "
                          "没有运行。这个定时录制已取消。")
        .arg(ScheduleTimeText(schedule.Start), schedule.File);
}

QString ScheduleBusyText(const TRecordingSchedule& schedule) {
    return QStringLiteral("定时录制没有开始：到了 %1，Vardocle 正在录制或保存另一个录像。"
                          "这个定时录制（%2）已取消。")
        .arg(ScheduleTimeText(schedule.Start), schedule.File);
}

} // namespace vardocle
