#include "tools/record/RecordOptions.h"

#include <charconv>
#include <cmath>

namespace vardocle {

namespace {

bool ParseInt(const std::string& text, int& value) {
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return result.ec == std::errc() && result.ptr == end && !text.empty();
}

bool ParseSwitch(const std::string& text, bool& value) {
    if (text == "on")
        value = true;
    else if (text == "off")
        value = false;
    else
        return false;
    return true;
}

} // namespace

std::string RecordUsage() {
    return "用法 / usage: vardocle-record OUTPUT.avi [--seconds N] [--rate 1..5] [--size WxH]\n"
           "       [--cursor on|off] [--transparent on|off] [--codec " +
           CodecNames() +
           "] [--sound mic|system|both|none] [--no-sound]\n"
           "       [--screen x11|portal] [--segment MINUTES]\n"
           "       [--area screen|monitor:NAME|region:X,Y,W,H|window:ID]\n"
           "       [--start-at HH:MM[:SS]] [--until HH:MM[:SS]]\n"
           "       vardocle-record --repair FILE.avi [--remove-empty]\n"
           "录制整个屏幕到 AVI 文件；Ctrl+C 结束录制。\n"
           "Records the whole screen into an AVI file; Ctrl+C ends the recording.\n"
           "--area：只录制一个显示器（xrandr --listmonitors 列出的名称）或屏幕上的一个矩形区域\n"
           "（桌面坐标）；不给 --size 时按该范围自身的尺寸录制。\n"
           "--area: records one monitor (a name that xrandr --listmonitors shows) or a rectangle\n"
           "of the desktop; without --size it is recorded at its own size. An area that is not\n"
           "wholly on the screen exits with status 1, a malformed one with 2; neither leaves a\n"
           "file behind.\n"
           "--repair：修复中断的录像（视频的索引、声音文件的文件头，并合并声音）。\n"
           "--repair: repairs an interrupted recording (the video's index, the sound file's\n"
           "header) and merges its sound. Exit status: 0 repaired or already complete,\n"
           "1 nothing was changed, 3 the video was repaired but its sound file was left.\n"
           "--remove-empty：录像里什么也没有录下来时（没有画面，声音不到一秒），删除它。\n"
           "--remove-empty: removes a recording in which nothing was recorded (no frame,\n"
           "under a second of sound) with its sound file.\n" +
           AllDayUsage();
}

std::optional<TUsageError> ParseRecordOptions(const std::vector<std::string>& arguments,
                                              TRecordOptions& options) {
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const auto value = [&]() -> const std::string* {
            return i + 1 < arguments.size() ? &arguments[++i] : nullptr;
        };
        if (argument == "--help" || argument == "-h") {
            options.Help = true;
        } else if (argument == "--no-sound") {
            options.Sound = false;
            options.SoundChoice = TSoundChoice::None;
        } else if (argument == "--sound") {
            const std::string* text = value();
            const auto choice = text ? ParseSoundChoice(*text) : std::nullopt;
            if (!choice)
                return TUsageError{"--sound 只能是 mic、system、both 或 none",
                                   "--sound must be mic, system, both or none"};
            options.SoundChoice = *choice;
            options.Sound = *choice != TSoundChoice::None;
        } else if (argument == "--remove-empty") {
            options.RemoveEmpty = true;
        } else if (argument == "--repair") {
            const std::string* text = value();
            if (!text || text->empty())
                return TUsageError{"--repair 需要一个 AVI 文件名", "--repair needs an AVI file"};
            options.RepairFile = *text;
        } else if (argument == "--seconds") {
            const std::string* text = value();
            double seconds = 0;
            std::size_t used = 0;
            try {
                seconds = text ? std::stod(*text, &used) : 0;
            } catch (const std::exception&) {
                used = 0;
            }
            if (!text || used != text->size() || !(seconds > 0) || !std::isfinite(seconds))
                return TUsageError{"--seconds 需要一个正数", "--seconds needs a positive number"};
            options.Seconds = seconds;
        } else if (argument == "--rate") {
            const std::string* text = value();
            if (!text || !ParseInt(*text, options.Rate) || options.Rate < 1 || options.Rate > 5)
                return TUsageError{"帧率必须在 1 到 5 之间", "--rate must be between 1 and 5"};
        } else if (argument == "--size") {
            const std::string* text = value();
            const auto x = text ? text->find('x') : std::string::npos;
            if (x == std::string::npos || !ParseInt(text->substr(0, x), options.Width) ||
                !ParseInt(text->substr(x + 1), options.Height) || options.Width < 1 ||
                options.Width > 5000 || options.Height < 1 || options.Height > 5000)
                return TUsageError{"尺寸必须是 宽x高，宽和高都在 1 到 5000 之间",
                                   "--size must be WxH with both between 1 and 5000"};
            options.SizeGiven = true;
        } else if (argument == "--area") {
            const std::string* text = value();
            std::string why = "缺少录制范围";
            const auto area = text ? ParseCaptureArea(*text, &why) : std::nullopt;
            if (!area)
                return TUsageError{why, "--area must be screen, monitor:NAME, region:X,Y,W,H "
                                        "(W and H 1 to 5000), region:pick, window:ID or "
                                        "window:pick"};
            options.Area = *area;
        } else if (argument == "--cursor") {
            const std::string* text = value();
            if (!text || !ParseSwitch(*text, options.Cursor))
                return TUsageError{"--cursor 只能是 on 或 off", "--cursor must be on or off"};
        } else if (argument == "--transparent") {
            const std::string* text = value();
            if (!text || !ParseSwitch(*text, options.Transparent))
                return TUsageError{"--transparent 只能是 on 或 off",
                                   "--transparent must be on or off"};
        } else if (argument == "--codec") {
            const std::string* text = value();
            const auto codec = text ? CodecFromName(*text) : std::nullopt;
            if (!codec)
                return TUsageError{"未知的编码：" + (text ? *text : std::string()),
                                   "--codec must be one of " + CodecNames()};
            options.Codec = *codec;
        } else if (argument == "--screen") {
            const std::string* text = value();
            options.Screen = text ? ScreenBackendFromName(*text) : std::nullopt;
            if (!options.Screen)
                return TUsageError{"--screen 只能是 x11 或 portal",
                                   "--screen must be x11 or portal"};
        } else if (IsAllDayOption(argument)) {
            if (auto mistake = ParseAllDayOption(argument, value(), options.AllDay))
                return TUsageError{mistake->Chinese, mistake->English};
        } else if (argument.size() > 1 && argument[0] == '-') {
            return TUsageError{"未知的选项：" + argument, "unknown option: " + argument};
        } else if (options.OutputFile.empty()) {
            options.OutputFile = argument;
        } else {
            return TUsageError{"只能给出一个输出文件", "only one output file may be given"};
        }
    }
    if (!options.RepairFile.empty() && !options.OutputFile.empty())
        return TUsageError{"--repair 不能与录制同时使用",
                           "--repair cannot be combined with recording"};
    if (options.RemoveEmpty && options.RepairFile.empty())
        return TUsageError{"--remove-empty 只能与 --repair 一起使用",
                           "--remove-empty goes only with --repair"};
    if (options.AllDay.Until && options.Seconds)
        return TUsageError{"--until 不能与 --seconds 同用", "--until cannot go with --seconds"};
    if (options.OutputFile.empty() && options.RepairFile.empty() && !options.Help)
        return TUsageError{"缺少输出文件名", "the output file is missing"};
    return std::nullopt;
}

} // namespace vardocle
