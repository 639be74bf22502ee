#pragma once
// The program's command line: `vardocle [--site URL]` starts the recorder,
// `vardocle --command WORD [FILE]` asks the copy that runs on this desktop to
// do what its buttons do, `--help` and `--version` answer and end. Parsed without a display, so
// that a bad command line is told before anything else happens.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include "engine/SoundChoice.h"
#include "platform/screen/CaptureArea.h"

#include <cstdint>
#include <optional>

namespace vardocle {

enum class TRemoteCommand { Start, Pause, Resume, Stop, Show, Hide, Quit };

struct TCommandRequest {
    TRemoteCommand Command = TRemoteCommand::Show;
    // Start only: the output file, absolute; empty asks with the save dialog.
    QString File;
    // Start only: the sound of this recording; the window's choice when empty.
    std::optional<TSoundChoice> Sound = std::nullopt;
    // Start only: what this recording shows; the window's choice when empty.
    std::optional<TCaptureArea> Area = std::nullopt;
    // Start only: a new file every this many seconds; the window's setting when empty.
    std::optional<std::int64_t> SegmentSeconds = std::nullopt;
    bool operator==(const TCommandRequest&) const = default;
};

struct TProgramArguments {
    QString Site; // empty: the built-in site
    std::optional<TCommandRequest> Command;
    bool Help = false;
    bool Version = false;
};

struct TParsedArguments {
    std::optional<TProgramArguments> Arguments;
    QString Error; // one line when Arguments is empty
};

// `arguments` as QCoreApplication gives them (the program's name first). A
// relative FILE is taken from `workingFolder`, where the user typed it.
TParsedArguments ParseProgramArguments(const QStringList& arguments, const QString& workingFolder);

// The word of a command as typed ("start"), and back; nothing for an
// unknown word.
QString CommandWord(TRemoteCommand command);
std::optional<TRemoteCommand> CommandFromWord(const QString& word);

// The exit status of `vardocle --command`.
enum TCommandStatus { kCommandDone = 0, kCommandRefused = 1, kCommandLineBad = 2 };

struct TCommandReply {
    int Status = kCommandRefused;
    QString Message; // one line
    bool operator==(const TCommandReply&) const = default;
};

// One line each way on the command socket (JSON, newline-terminated).
QByteArray EncodeRequest(const TCommandRequest& request);
std::optional<TCommandRequest> DecodeRequest(const QByteArray& line);
QByteArray EncodeReply(const TCommandReply& reply);
std::optional<TCommandReply> DecodeReply(const QByteArray& line);

} // namespace vardocle
