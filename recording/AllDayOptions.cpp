#include "recording/AllDayOptions.h"

#include <charconv>

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
    return Argument == "--segment" || Argument == "--segment-seconds";
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
    // Seconds, for tests that cannot wait minutes for a file to end.
    const auto seconds = Value ? ParseWhole(*Value, 1, kMaxSegmentMinutes * 60) : std::nullopt;
    if (!seconds)
        return TAllDayMistake{"--segment-seconds 需要 1 到 86400 之间的秒数",
                              "--segment-seconds needs a number of seconds from 1 to 86400"};
    Options.SegmentSeconds = *seconds;
    return std::nullopt;
}

std::string AllDayUsage() {
    return "--segment N：每 N 分钟（1-1440，暂停不计）换一个新文件：课程.avi、课程-002.avi……\n"
           "--segment N: a new file every N minutes (1-1440, pauses not counted):\n"
           "NAME.avi, NAME-002.avi, ... (names in use are skipped).\n";
}

} // namespace vardocle
