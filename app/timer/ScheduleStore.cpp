#include "app/timer/ScheduleStore.h"

#include "app/IniFile.h"
#include "app/SettingStore.h"

#include <charconv>

namespace vardocle {

namespace {

// The moments carry their offset from UTC, so that a change of time zone or
// of summer time before the start does not move them.
constexpr const char* kStartKey = "TimerStart";
constexpr const char* kFileKey = "TimerFile";
constexpr const char* kSecondsKey = "TimerSeconds";
constexpr const char* kUntilKey = "TimerUntil";
constexpr const char* kReplaceKey = "TimerReplace";

std::string MomentText(const QDateTime& moment) {
    return moment.toOffsetFromUtc(moment.offsetFromUtc()).toString(Qt::ISODateWithMs).toStdString();
}

QDateTime ReadMoment(const TIniFile& ini, const char* key) {
    const QDateTime moment = QDateTime::fromString(
        QString::fromStdString(ini.ReadString(kSettingSection, key, {})), Qt::ISODate);
    // Only a moment with its offset ("Z" for none) is one moment.
    if (!moment.isValid() || moment.timeSpec() == Qt::LocalTime)
        return {};
    return moment.toLocalTime();
}

std::optional<std::int64_t> ReadSeconds(const TIniFile& ini) {
    const std::string text = ini.ReadString(kSettingSection, kSecondsKey, {});
    std::int64_t seconds = 0;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, seconds);
    if (text.empty() || result.ec != std::errc() || result.ptr != end || seconds <= 0)
        return std::nullopt;
    return seconds;
}

} // namespace

std::optional<TRecordingSchedule> LoadSchedule(const std::filesystem::path& File) {
    const TIniFile ini(File);
    TRecordingSchedule schedule;
    schedule.Start = ReadMoment(ini, kStartKey);
    schedule.File = QString::fromStdString(ini.ReadString(kSettingSection, kFileKey, {})).trimmed();
    if (!schedule.Start.isValid() || schedule.File.isEmpty())
        return std::nullopt;
    schedule.Replace = ini.ReadBool(kSettingSection, kReplaceKey, false);
    if (const auto seconds = ReadSeconds(ini)) {
        schedule.End = TScheduleEnd::After;
        schedule.Seconds = *seconds;
    } else if (const QDateTime until = ReadMoment(ini, kUntilKey);
               until.isValid() && until > schedule.Start) {
        schedule.End = TScheduleEnd::At;
        schedule.StopAt = until;
    }
    return schedule;
}

void SaveSchedule(const std::filesystem::path& File, const TRecordingSchedule& Schedule) {
    // The keys of an earlier schedule must not leave it another end.
    RemoveSchedule(File);
    TIniFile ini(File);
    ini.WriteString(kSettingSection, kFileKey, Schedule.File.toStdString());
    if (Schedule.End == TScheduleEnd::After)
        ini.WriteString(kSettingSection, kSecondsKey, std::to_string(Schedule.Seconds));
    if (Schedule.End == TScheduleEnd::At)
        ini.WriteString(kSettingSection, kUntilKey, MomentText(Schedule.StopAt));
    if (Schedule.Replace)
        ini.WriteBool(kSettingSection, kReplaceKey, true);
    // Last: a file cut short while this is written holds no start, so no schedule.
    ini.WriteString(kSettingSection, kStartKey, MomentText(Schedule.Start));
}

void RemoveSchedule(const std::filesystem::path& File) {
    TIniFile ini(File);
    // The start first: whatever is left after a failure is no schedule.
    for (const char* key : {kStartKey, kFileKey, kSecondsKey, kUntilKey, kReplaceKey})
        ini.DeleteKey(kSettingSection, key);
}

} // namespace vardocle
