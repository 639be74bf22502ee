#include "tools/record/ExportCommand.h"

#include "export/RecordingExport.h"

#include <algorithm>
#include <cstdio>

extern "C" {
#include <libavutil/log.h>
}

namespace vardocle {

bool IsExportCommand(const std::vector<std::string>& Arguments) {
    return std::find(Arguments.begin(), Arguments.end(), "--export") != Arguments.end();
}

std::string ExportUsage() {
    return "       vardocle-record --export FILE.avi [OUT.mp4|OUT.mkv] [--force]\n"
           "--export：把录像导出为网页浏览器能播放的 MP4（H.264 画面不重新编码，声音为 AAC），\n"
           "或画面和声音都原样保留的 MKV；默认为同名的 .mp4，已存在时需加 --force。\n"
           "--export: exports a recording as an MP4 that web browsers play (H.264 pictures\n"
           "copied, the sound as AAC) or an MKV that keeps picture and sound as they are;\n"
           "the default is the same name with .mp4; an existing file is replaced only with "
           "--force.\n";
}

int RunExportCommand(const std::vector<std::string>& Arguments) {
    std::vector<std::string> files;
    TExportOptions options;
    for (std::size_t i = 0; i < Arguments.size(); ++i) {
        const std::string& argument = Arguments[i];
        if (argument == "--force") {
            options.Force = true;
        } else if (argument != "--export") {
            if (argument.size() > 1 && argument[0] == '-') {
                std::fprintf(stderr,
                             "错误：--export 不能与 %s 同时使用（见 --help） / Error: "
                             "--export cannot be combined with %s (see --help)\n",
                             argument.c_str(), argument.c_str());
                return 2;
            }
            files.push_back(argument);
        }
    }
    if (files.empty() || files.size() > 2) {
        std::fputs("错误：--export 需要一个 AVI 文件名，可再加一个输出文件名（见 --help） / "
                   "Error: --export needs an AVI file and at most one output file (see --help)\n",
                   stderr);
        return 2;
    }
    // The libraries' own chatter would bury the progress lines.
    av_log_set_level(AV_LOG_ERROR);
    const std::string target = files.size() == 2 ? files[1] : DefaultExportName(files[0]);
    int shown = -1;
    const TExportResult result = ExportRecording(files[0], target, options, [&shown](int percent) {
        // A line every tenth, so that a log stays short.
        if (percent / 10 != shown / 10 || percent == 100) {
            shown = percent;
            std::fprintf(stderr, "导出 %d%% / exporting %d%%\n", percent, percent);
        }
    });
    if (result.Outcome != TExportOutcome::Done) {
        std::fprintf(stderr, "错误：%s / Error: %s\n", result.Chinese.c_str(),
                     result.English.c_str());
        return 1;
    }
    std::fprintf(stderr, "完成：%s，%.1f 秒%s / done: %s, %.1f s%s\n", target.c_str(),
                 result.Seconds, result.PictureCopied ? "，画面未重新编码" : "", target.c_str(),
                 result.Seconds, result.PictureCopied ? ", pictures copied" : "");
    return 0;
}

} // namespace vardocle
