#include "app/CommandLine.h"

#include "recording/AllDayOptions.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>

#include <array>
#include <utility>

namespace vardocle {

namespace {

const std::array<std::pair<TRemoteCommand, const char*>, 7> kWords = {{
    {TRemoteCommand::Start, "start"},
    {TRemoteCommand::Pause, "pause"},
    {TRemoteCommand::Resume, "resume"},
    {TRemoteCommand::Stop, "stop"},
    {TRemoteCommand::Show, "show"},
    {TRemoteCommand::Hide, "hide"},
    {TRemoteCommand::Quit, "quit"},
}};

const QString kCommandUsage = QStringLiteral(
    "用法 / usage: vardocle --command start [FILE.avi] [--sound mic|system|both|none]"
    " [--area screen|monitor:NAME|region:X,Y,W,H|region:pick|window:ID|window:pick]"
    " [--segment MINUTES]|pause|resume|stop|show|hide|quit");

TParsedArguments Bad(const QString& reason) {
    return {std::nullopt, reason};
}

std::optional<QJsonObject> JsonLine(const QByteArray& line) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(line.trimmed(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

QByteArray Line(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

} // namespace

QString CommandWord(TRemoteCommand command) {
    for (const auto& [value, word] : kWords)
        if (value == command)
            return QString::fromLatin1(word);
    return {};
}

std::optional<TRemoteCommand> CommandFromWord(const QString& word) {
    for (const auto& [value, text] : kWords)
        if (word == QLatin1String(text))
            return value;
    return std::nullopt;
}

TParsedArguments ParseProgramArguments(const QStringList& arguments, const QString& workingFolder) {
    TProgramArguments parsed;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& option = arguments[i];
        if (option == QLatin1String("--help") || option == QLatin1String("-h")) {
            parsed.Help = true;
            continue;
        }
        if (option == QLatin1String("--version")) {
            parsed.Version = true;
            continue;
        }
        if (option == QLatin1String("--site")) {
            if (i + 1 >= arguments.size())
                return Bad(QStringLiteral("--site 后面缺少网站地址 / --site needs an address"));
            parsed.Site = arguments[++i];
            continue;
        }
        if (option != QLatin1String("--command"))
            return Bad(QStringLiteral("未知的参数 / unknown option: %1").arg(option));
        // The command takes the rest of the line: a word, and a file for start.
        if (i + 1 >= arguments.size())
            return Bad(kCommandUsage);
        const auto command = CommandFromWord(arguments[i + 1]);
        if (!command)
            return Bad(QStringLiteral("未知的命令 / unknown command: %1；%2")
                           .arg(arguments[i + 1], kCommandUsage));
        TCommandRequest request{*command, {}, {}, {}, {}};
        // Start takes a file and options of the recording, in any order.
        for (qsizetype j = i + 2; j < arguments.size(); ++j) {
            const QString& word = arguments[j];
            if (*command == TRemoteCommand::Start && word == QLatin1String("--sound")) {
                const auto sound = j + 1 < arguments.size()
                                       ? ParseSoundChoice(arguments[++j].toStdString())
                                       : std::nullopt;
                if (!sound)
                    return Bad(QStringLiteral("--sound 只能是 mic、system、both 或 none / "
                                              "--sound must be mic, system, both or none"));
                request.Sound = sound;
                continue;
            }
            if (*command == TRemoteCommand::Start && word == QLatin1String("--area")) {
                if (j + 1 >= arguments.size())
                    return Bad(QStringLiteral("--area 后面缺少录制范围 / --area needs an area"));
                std::string why;
                request.Area = ParseCaptureArea(arguments[++j].toStdString(), &why);
                if (!request.Area)
                    return Bad(QString::fromStdString(why));
                continue;
            }
            if (*command == TRemoteCommand::Start && IsAllDayOption(word.toStdString())) {
                const std::string value =
                    j + 1 < arguments.size() ? arguments[++j].toStdString() : std::string();
                TAllDayOptions options;
                if (const auto mistake = ParseAllDayOption(
                        word.toStdString(), value.empty() ? nullptr : &value, options))
                    return Bad(QString::fromStdString(mistake->Chinese + " / " + mistake->English));
                request.SegmentSeconds = options.SegmentSeconds;
                continue;
            }
            if (*command != TRemoteCommand::Start || !request.File.isEmpty() ||
                word.startsWith(QLatin1String("--")))
                return Bad(QStringLiteral("多余的参数 / extra words: %1")
                               .arg(arguments.mid(j).join(QLatin1Char(' '))));
            if (word.isEmpty() || word.endsWith(QLatin1Char('/')))
                return Bad(QStringLiteral("文件名无效 / not a file name: \"%1\"").arg(word));
            request.File = QDir::cleanPath(QDir(workingFolder).absoluteFilePath(word));
        }
        parsed.Command = request;
        break;
    }
    return {parsed, {}};
}

QByteArray EncodeRequest(const TCommandRequest& request) {
    QJsonObject object{{QStringLiteral("command"), CommandWord(request.Command)}};
    if (!request.File.isEmpty())
        object.insert(QStringLiteral("file"), request.File);
    if (request.Sound)
        object.insert(QStringLiteral("sound"),
                      QString::fromLatin1(SoundChoiceName(*request.Sound)));
    if (request.Area)
        object.insert(QStringLiteral("area"),
                      QString::fromStdString(CaptureAreaText(*request.Area)));
    if (request.SegmentSeconds)
        object.insert(QStringLiteral("segment"), static_cast<double>(*request.SegmentSeconds));
    return Line(object);
}

std::optional<TCommandRequest> DecodeRequest(const QByteArray& line) {
    const auto object = JsonLine(line);
    if (!object)
        return std::nullopt;
    const auto command = CommandFromWord(object->value(QStringLiteral("command")).toString());
    if (!command)
        return std::nullopt;
    TCommandRequest request{*command, object->value(QStringLiteral("file")).toString(), {}, {}, {}};
    if (object->contains(QStringLiteral("sound"))) {
        request.Sound =
            ParseSoundChoice(object->value(QStringLiteral("sound")).toString().toStdString());
        if (!request.Sound || *command != TRemoteCommand::Start)
            return std::nullopt;
    }
    if (object->contains(QStringLiteral("area"))) {
        request.Area =
            ParseCaptureArea(object->value(QStringLiteral("area")).toString().toStdString());
        if (!request.Area || *command != TRemoteCommand::Start)
            return std::nullopt;
    }
    if (object->contains(QStringLiteral("segment"))) {
        const double seconds = object->value(QStringLiteral("segment")).toDouble(0);
        if (!(seconds >= 1 && seconds <= kMaxSegmentMinutes * 60.0) ||
            *command != TRemoteCommand::Start)
            return std::nullopt;
        request.SegmentSeconds = static_cast<std::int64_t>(seconds);
    }
    // Only an absolute name means the same file to both copies.
    if (!request.File.isEmpty() &&
        (*command != TRemoteCommand::Start || !QDir::isAbsolutePath(request.File)))
        return std::nullopt;
    return request;
}

QByteArray EncodeReply(const TCommandReply& reply) {
    return Line(
        {{QStringLiteral("status"), reply.Status}, {QStringLiteral("message"), reply.Message}});
}

std::optional<TCommandReply> DecodeReply(const QByteArray& line) {
    const auto object = JsonLine(line);
    if (!object || !object->value(QStringLiteral("status")).isDouble())
        return std::nullopt;
    const int status = object->value(QStringLiteral("status")).toInt();
    if (status < kCommandDone || status > kCommandLineBad)
        return std::nullopt;
    return TCommandReply{status, object->value(QStringLiteral("message")).toString()};
}

} // namespace vardocle
