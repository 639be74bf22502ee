#pragma once
// The scheduled recording kept in Setting.ini, so that it still happens when
// the program is started again before its time. Keys of their own, read
// only when present: a file without them has no schedule.
#include "app/timer/RecordingSchedule.h"

#include <filesystem>
#include <optional>

namespace vardocle {

// The schedule in the file; none when there is none or its start or file
// cannot be read. A length or stop time that cannot be read leaves the end
// to the user (Stop), as it never makes the recording end early.
std::optional<TRecordingSchedule> LoadSchedule(const std::filesystem::path& File);
// Throws EIniFileException when the file cannot be written.
void SaveSchedule(const std::filesystem::path& File, const TRecordingSchedule& Schedule);
// Takes every key of the schedule out of the file.
// Throws EIniFileException when the file cannot be written.
void RemoveSchedule(const std::filesystem::path& File);

} // namespace vardocle
