#include "app/CommandChannel.h"

#include "platform/base/QtChild.h"
#include "platform/shell/RuntimeFolder.h"

#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>
#include <QVariant>

namespace vardocle {

namespace {

// A request is one short line; anything longer is not one of ours.
constexpr qint64 kLongestRequest = qint64(64) * 1024;

void Answer(QLocalSocket* socket, const TCommandReply& reply) {
    socket->write(EncodeReply(reply));
    // Sent now: a quit ends the event loop before it would send it later.
    socket->flush();
    socket->disconnectFromServer();
}

} // namespace

QString CommandSocketPath(const QString& display) {
    const auto file = RuntimeFile("command", display.toStdString(), "sock");
    return file ? QString::fromStdString(file->string()) : QString();
}

TCommandChannel::TCommandChannel(const QString& socketPath, THandler handler, QObject* owner)
    : QObject(owner), FSocketPath(socketPath), FHandler(std::move(handler)),
      FServer(MakeQtChild<QLocalServer>(this)) {
    if (FSocketPath.isEmpty())
        return;
    // The folder is the user's own; the socket's mode says so once more.
    FServer->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(FSocketPath);
    if (!FServer->listen(FSocketPath))
        return;
    connect(FServer, &QLocalServer::newConnection, this, &TCommandChannel::Accept);
}

TCommandChannel::~TCommandChannel() {
    FServer->close();
}

bool TCommandChannel::Listening() const {
    return FServer->isListening();
}

void TCommandChannel::Accept() {
    while (QLocalSocket* socket = FServer->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { Read(socket); });
    }
}

void TCommandChannel::Read(QLocalSocket* socket) {
    if (socket->property("answering").toBool())
        return;
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > kLongestRequest)
            Answer(socket, {kCommandLineBad, QStringLiteral("请求过长 / request too long")});
        return;
    }
    socket->setProperty("answering", true);
    const auto request = DecodeRequest(socket->readLine(kLongestRequest));
    if (!request) {
        Answer(socket, {kCommandLineBad, QStringLiteral("无法识别的请求 / unknown request")});
        return;
    }
    // Run from the event loop, not from inside the socket's signal: the
    // command may open a dialog with an event loop of its own.
    QPointer<QLocalSocket> peer(socket);
    QTimer::singleShot(0, this, [this, peer, request = *request] {
        FHandler(request, [peer](const TCommandReply& reply) {
            if (peer && peer->state() == QLocalSocket::ConnectedState)
                Answer(peer, reply);
        });
    });
}

TCommandReply SendCommand(const QString& socketPath, const TCommandRequest& request,
                          int replyLimitMs) {
    TCommandReply noCopy{kCommandRefused, QStringLiteral("本桌面上没有正在运行的 Vardocle / "
                                                         "no Vardocle is running on this desktop")};
    if (socketPath.isEmpty() || !QFile::exists(socketPath))
        return noCopy;
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(5000))
        return noCopy;
    socket.write(EncodeRequest(request));
    socket.waitForBytesWritten(5000);
    QByteArray reply;
    while (!reply.contains('\n')) {
        const bool more = socket.waitForReadyRead(replyLimitMs);
        reply += socket.readAll();
        if (!more)
            break;
    }
    if (const auto decoded = DecodeReply(reply))
        return *decoded;
    return {kCommandRefused, QStringLiteral("Vardocle 没有回答就结束了 / "
                                            "the running Vardocle ended without an answer")};
}

} // namespace vardocle
