#include "app/ProgramUsage.h"

#include "app/CommandLine.h"
#include "update/Version.h"

#include <QStringList>

#include <cstdio>

namespace vardocle {

QString ProgramUsage() {
    return QStringLiteral(
        "用法 / usage:\n"
        "  vardocle [--site URL]\n"
        "      启动录像程序（小窗口、托盘图标和全局热键）\n"
        "      starts the recorder (a small window, a tray icon and global hotkeys)\n"
        "  vardocle --command start [FILE.avi] [--sound mic|system|both|none]\n"
        "                           [--area screen|monitor:NAME|region:X,Y,W,H|region:pick|\n"
        "                                   window:ID|window:pick] [--segment MINUTES]\n"
        "  vardocle --command pause|resume|stop|show|hide|quit\n"
        "      让本桌面上正在运行的程序执行该命令\n"
        "      asks the copy running on this desktop to do it\n"
        "      start 可加 --segment N：每 N 分钟（1-1440）换一个新文件\n"
        "      start takes --segment N: a new file every N minutes (1-1440)\n"
        "  vardocle --help | --version\n"
        "\n"
        "热键 / hotkeys: Alt+1 录制 record, Alt+2 暂停 pause, Alt+3 继续 resume,\n"
        "  Alt+4 停止 stop, Ctrl+S 显示/隐藏 show/hide, Alt+Q 退出 quit\n"
        "--site URL  提供更新说明、主页和广告页的网站 / the web site of the update\n"
        "            description, the home page and the advertisement page\n"
        "命令行录像 / recording from scripts: vardocle-record --help, man vardocle\n");
}

QString ProgramVersionLine() {
    return QStringLiteral("vardocle %1").arg(QString::fromLatin1(kProgramVersion));
}

std::optional<int> AnswerCommandLine(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const TParsedArguments parsed = ParseProgramArguments(arguments, QString());
    // A bad command line is told before a missing display would be.
    if (!parsed.Arguments) {
        std::fprintf(stderr, "vardocle: %s\n", parsed.Error.toLocal8Bit().constData());
        return kCommandLineBad;
    }
    if (!parsed.Arguments->Help && !parsed.Arguments->Version)
        return std::nullopt;
    const QString text =
        parsed.Arguments->Help ? ProgramUsage() : ProgramVersionLine() + QLatin1Char('\n');
    std::fputs(text.toLocal8Bit().constData(), stdout);
    return 0;
}

} // namespace vardocle
