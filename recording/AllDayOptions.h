#pragma once
// The command-line options of a long recording, shared by the programs that
// record: how long each file lasts.
#include <cstdint>
#include <optional>
#include <string>

namespace vardocle {

inline constexpr int kMaxSegmentMinutes = 1440;

struct TAllDayOptions {
    // A new file every this many seconds of recorded time; none: one file.
    std::optional<std::int64_t> SegmentSeconds;
};

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
