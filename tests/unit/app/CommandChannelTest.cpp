// The command socket between two processes of one user: the running copy
// listens, a command line sends and waits for the answer.
#include "app/CommandChannel.h"
#include "tests/support/TestSupport.h"

#include <QCoreApplication>
#include <QLocalSocket>
#include <QTimer>

#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace vardocle {
namespace {

TCommandReply SendAndServe(const QString& path, const TCommandRequest& request) {
    auto reply = std::async(std::launch::async, [&] { return SendCommand(path, request, 10000); });
    while (reply.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return reply.get();
}

TEST(CommandChannel, AnswersLaterRefusesStrangersAndIsTheUsersAlone) {
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    test::TempDir folder;
    const QString path = QString::fromStdString((folder / "command.sock").string());
    // What a killed copy left at the socket's place is replaced.
    std::ofstream(folder / "command.sock") << "left over";
    std::vector<TCommandRequest> asked;
    TCommandChannel channel(
        path,
        [&](const TCommandRequest& request, TCommandChannel::TAnswer answer) {
            asked.push_back(request);
            // The answer may come after the event loop ran on (a question).
            QTimer::singleShot(50, [answer] { answer({kCommandDone, QStringLiteral("ok")}); });
        },
        nullptr);
    ASSERT_TRUE(channel.Listening());
    struct stat info {};
    ASSERT_EQ(::stat(path.toLocal8Bit().constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 077, 0u) << "other users may not connect";

    const TCommandRequest start{TRemoteCommand::Start, QStringLiteral("/v/a.avi")};
    EXPECT_EQ(SendAndServe(path, start), (TCommandReply{kCommandDone, QStringLiteral("ok")}));
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], start);

    // What is not a request reaches no command.
    auto garbage = std::async(std::launch::async, [&] {
        QLocalSocket socket;
        socket.connectToServer(path);
        socket.waitForConnected(5000);
        socket.write("format c:\n");
        QByteArray reply;
        while (!reply.contains('\n') && socket.waitForReadyRead(5000))
            reply += socket.readAll();
        return DecodeReply(reply);
    });
    while (garbage.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    const auto refused = garbage.get();
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->Status, kCommandLineBad);
    EXPECT_EQ(asked.size(), 1u);

    // Nothing listening: refused with a reason, not left waiting.
    const TCommandReply none =
        SendCommand(QString::fromStdString((folder / "none.sock").string()), start, 1000);
    EXPECT_EQ(none.Status, kCommandRefused);
    EXPECT_FALSE(none.Message.isEmpty());
}

} // namespace
} // namespace vardocle
