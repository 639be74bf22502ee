#include "recording/AllDayOptions.h"

#include <charconv>
#include <cstdio>

namespace vardocle {

namespace {

std::optional<std::int64_t> ParseWhole(const std::string& Text, std::int64_t Low,
                                       std::int64_t High) {
    std::int64_t value = 0;
    const char* end = Text.data() + Text.size();
    const auto result = std::from_chars(Text.data(), end, value);
    if (Text.empty() || result.ec != std::errc() || result.ptr != end || value < Low ||
        value > High)
        return std::nullopt;
    return value;
}

} // namespace

bool IsAllDayOption(const std::string& Argument) {
    return Argument == "--segment" || Argument == "--segment-seconds" || Argument == "--start-at" ||
           Argument == "--until";
}

std::optional<TClockTime> ParseClockTime(const std::string& Text) {
    // Two digits each, so that "7:5" or "07:05:" is not taken for a time.
    if (Text.size() != 5 && Text.size() != 8)
        return std::nullopt;
    const auto part = [&](std::size_t at, std::int64_t high) {
        return at + 2 <= Text.size() ? ParseWhole(Text.substr(at, 2), 0, high) : std::nullopt;
    };
    const auto hour = part(0, 23);
    const auto minute = part(3, 59);
    const auto second = Text.size() == 8 ? part(6, 59) : std::optional<std::int64_t>(0);
    if (Text[2] != ':' || (Text.size() == 8 && Text[5] != ':') || !hour || !minute || !second)
        return std::nullopt;
    return TClockTime{static_cast<int>(*hour), static_cast<int>(*minute),
                      static_cast<int>(*second)};
}

std::string ClockTimeText(const TClockTime& Time) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", Time.Hour, Time.Minute, Time.Second);
    return text;
}

std::optional<int> ParseSegmentMinutes(const std::string& Text) {
    const auto minutes = ParseWhole(Text, 1, kMaxSegmentMinutes);
    if (!minutes)
        return std::nullopt;
    return static_cast<int>(*minutes);
}

std::optional<TAllDayMistake> ParseAllDayOption(const std::string& Argument,
                                                const std::string* Value, TAllDayOptions& Options) {
    if (Argument == "--segment") {
        const auto minutes = Value ? ParseSegmentMinutes(*Value) : std::nullopt;
        if (!minutes)
            return TAllDayMistake{"--segment 需要 1 到 1440 之间的分钟数",
                                  "--segment needs a number of minutes from 1 to 1440"};
        Options.SegmentSeconds = std::int64_t{*minutes} * 60;
        return std::nullopt;
    }
    if (Argument == "--start-at" || Argument == "--until") {
        const auto time = Value ? ParseClockTime(*Value) : std::nullopt;
        if (!time)
            return TAllDayMistake{Argument + " 需要 时:分 或 时:分:秒（00:00 到 23:59:59）",
                                  Argument + " needs HH:MM or HH:MM:SS (00:00 to 23:59:59)"};
        (Argument == "--start-at" ? Options.StartAt : Options.Until) = time;
        return std::nullopt;
    }
    // Seconds, for tests that cannot wait minutes for a file to end.
    const auto seconds =
        Value ? ParseWhole(*Value, 1, std::int64_t{kMaxSegmentMinutes} * 60) : std::nullopt;
    if (!seconds)
        return TAllDayMistake{"--segment-seconds 需要 1 到 86400 之间的秒数",
                              "--segment-seconds needs a number of seconds from 1 to 86400"};
    Options.SegmentSeconds = *seconds;
    return std::nullopt;
}

std::string AllDayUsage() {
    return "--segment N：每 N 分钟（1-1440，暂停不计）换一个新文件：课程.avi、课程-002.avi……\n"
           "--segment N: a new file every N minutes (1-1440, pauses not counted):\n"
           "NAME.avi, NAME-002.avi, ... (names in use are skipped).\n"
           "--start-at 时:分[:秒]：等到今天的这个时刻再开始录制（已过去的时刻会被拒绝）；\n"
           "--until 时:分[:秒]：录到这个时刻为止（不能与 --seconds 同用）。\n"
           "--start-at HH:MM[:SS]: waits until that time of today (local wall clock) to\n"
           "start; a time already past today is refused. --until HH:MM[:SS]: stops at the\n"
           "next such time after the start (not with --seconds).\n";
}

} // namespace vardocle
