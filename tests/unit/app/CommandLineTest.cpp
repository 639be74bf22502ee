#include "app/CommandLine.h"

#include <gtest/gtest.h>

namespace vardocle {
namespace {

TParsedArguments Parse(const QStringList& words) {
    return ParseProgramArguments(QStringList{QStringLiteral("vardocle")} + words,
                                 QStringLiteral("/home/u/work"));
}

TEST(CommandLine, EveryWordIsACommandAndStartMayNameARelativeFile) {
    for (const char* word : {"start", "pause", "resume", "stop", "show", "hide", "quit"}) {
        const auto parsed = Parse({"--command", word});
        ASSERT_TRUE(parsed.Arguments) << word << ": " << qPrintable(parsed.Error);
        ASSERT_TRUE(parsed.Arguments->Command);
        EXPECT_EQ(CommandWord(parsed.Arguments->Command->Command), QLatin1String(word));
        EXPECT_TRUE(parsed.Arguments->Command->File.isEmpty());
    }
    // Where the user typed it, not where the running copy happens to be.
    const auto relative = Parse({"--command", "start", "../videos/录像 1.avi"});
    ASSERT_TRUE(relative.Arguments);
    EXPECT_EQ(relative.Arguments->Command->File, QStringLiteral("/home/u/videos/录像 1.avi"));
    // The sound of one recording, before or after its file.
    const auto sound = Parse({"--command", "start", "--sound", "both", "a.avi"});
    ASSERT_TRUE(sound.Arguments) << qPrintable(sound.Error);
    EXPECT_EQ(sound.Arguments->Command->Sound, TSoundChoice::Both);
    EXPECT_EQ(sound.Arguments->Command->File, QStringLiteral("/home/u/work/a.avi"));
    const auto site = Parse({"--site", "http://127.0.0.1:9"});
    ASSERT_TRUE(site.Arguments);
    EXPECT_EQ(site.Arguments->Site, QStringLiteral("http://127.0.0.1:9"));
    EXPECT_FALSE(site.Arguments->Command);
}

TEST(CommandLine, UnknownWordsAndExtraWordsAreRefusedWithAReason) {
    const QList<QStringList> bad = {
        {"--command"},
        {"--command", "record"},
        {"--command", "START"},
        {"--command", "stop", "now"},
        {"--command", "start", "a.avi", "b.avi"},
        {"--command", "start", ""},
        {"--command", "start", "videos/"},
        {"--command", "start", "a.avi", "--sound", "loud"},
        {"--command", "start", "--sound"},
        {"--command", "stop", "--sound", "none"},
        {"--site"},
        {"--verbose"},
    };
    for (const QStringList& words : bad) {
        const auto parsed = Parse(words);
        EXPECT_FALSE(parsed.Arguments) << qPrintable(words.join(' '));
        EXPECT_FALSE(parsed.Error.isEmpty()) << qPrintable(words.join(' '));
        EXPECT_FALSE(parsed.Error.contains('\n')) << "one line: " << qPrintable(parsed.Error);
    }
    EXPECT_TRUE(Parse({"--command", "stop", "now"}).Error.contains("now"));
}

TEST(CommandWire, RequestsAndRepliesSurviveTheSocketAndStrangersAreRefused) {
    const TCommandRequest start{TRemoteCommand::Start, QStringLiteral("/v/a\nb \"c\".avi")};
    const QByteArray line = EncodeRequest(start);
    EXPECT_EQ(line.count('\n'), 1) << "one line, whatever the name holds";
    EXPECT_EQ(DecodeRequest(line), start);
    const TCommandRequest mixed{TRemoteCommand::Start, QStringLiteral("/v/a.avi"),
                                TSoundChoice::SystemSound};
    EXPECT_EQ(DecodeRequest(EncodeRequest(mixed)), mixed);
    EXPECT_FALSE(DecodeRequest(R"({"command":"start","file":"/v/a.avi","sound":"loud"})"));
    EXPECT_EQ(DecodeRequest(EncodeRequest({TRemoteCommand::Quit, {}})),
              (TCommandRequest{TRemoteCommand::Quit, {}}));

    // A relative name would mean another file to the running copy; only
    // start takes a file; the rest is not a request at all.
    EXPECT_FALSE(DecodeRequest(R"({"command":"start","file":"a.avi"})"));
    EXPECT_FALSE(DecodeRequest(R"({"command":"stop","file":"/v/a.avi"})"));
    EXPECT_FALSE(DecodeRequest(R"({"command":"format"})"));
    EXPECT_FALSE(DecodeRequest("stop\n"));

    const TCommandReply reply{kCommandRefused, QStringLiteral("现在没有在录制 / not recording")};
    EXPECT_EQ(DecodeReply(EncodeReply(reply)), reply);
    EXPECT_FALSE(DecodeReply(R"({"status":7,"message":""})"));
    EXPECT_FALSE(DecodeReply(""));
}

} // namespace
} // namespace vardocle
