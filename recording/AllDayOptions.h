#pragma once
// The command-line options of a long recording, shared by the programs that
// record: how long each file lasts.
#include <cstdint>
#include <optional>
#include <string>

namespace vardocle {

inline constexpr int kMaxSegmentMinutes = 1440;

// A time of day on the wall clock, in the local time zone.
struct TClockTime {
    int Hour = 0;
    int Minute = 0;
    int Second = 0;
    bool operator==(const TClockTime&) const = default;
};

struct TAllDayOptions {
    // A new file every this many seconds of recorded time; none: one file.
    std::optional<std::int64_t> SegmentSeconds;
    // Wait until this time of today to start.
    std::optional<TClockTime> StartAt;
    // Stop at the first moment of this time after the start.
    std::optional<TClockTime> Until;
};

// "HH:MM" or "HH:MM:SS" (00:00 to 23:59:59); none for anything else.
std::optional<TClockTime> ParseClockTime(const std::string& Text);
std::string ClockTimeText(const TClockTime& Time);

// A mistake in one of these options, told in Chinese and in English.
struct TAllDayMistake {
    std::string Chinese;
    std::string English;
};

// Whether the argument is one of these options (each takes a value).
bool IsAllDayOption(const std::string& Argument);
// Reads the option's value (null when it is missing) into Options.
std::optional<TAllDayMistake> ParseAllDayOption(const std::string& Argument,
                                                const std::string* Value, TAllDayOptions& Options);
// Minutes of a segment, 1 to kMaxSegmentMinutes; none for anything else.
std::optional<int> ParseSegmentMinutes(const std::string& Text);

// The usage lines of these options.
std::string AllDayUsage();

} // namespace vardocle
