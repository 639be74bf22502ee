#include "app/CommandClient.h"

#include "app/CommandChannel.h"
#include "app/CommandLine.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>
#include <cstdlib>

namespace vardocle {

namespace {

QString Display() {
    const char* display = std::getenv("DISPLAY");
    return QString::fromLocal8Bit(display ? display : "");
}

} // namespace

std::optional<int> RunCommandIfAsked(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (!arguments.contains(QStringLiteral("--command")))
        return std::nullopt;
    const TParsedArguments parsed = ParseProgramArguments(arguments, QDir::currentPath());
    if (!parsed.Arguments) {
        std::fprintf(stderr, "vardocle: %s\n", qPrintable(parsed.Error));
        return kCommandLineBad;
    }
    // The socket needs an application object, not a display.
    QCoreApplication application(argc, argv);
    const TCommandReply reply =
        SendCommand(CommandSocketPath(Display()), *parsed.Arguments->Command);
    if (!reply.Message.isEmpty())
        std::fprintf(reply.Status == kCommandDone ? stdout : stderr, "vardocle: %s\n",
                     qPrintable(reply.Message));
    return reply.Status;
}

void AskRunningCopyToShow() {
    // Nothing to tell the user when the running copy does not answer: this
    // start ends either way.
    SendCommand(CommandSocketPath(Display()), {TRemoteCommand::Show, {}}, 5000);
}

} // namespace vardocle
