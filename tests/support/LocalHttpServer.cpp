#include "tests/support/LocalHttpServer.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

namespace vardocle::test {

namespace {

QByteArray ReasonPhrase(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

} // namespace

LocalHttpServer::LocalHttpServer() : FServer(new QTcpServer(this)) {
    if (!FServer->listen(QHostAddress::LocalHost, 0))
        qFatal("LocalHttpServer: cannot listen on 127.0.0.1");
    connect(FServer, &QTcpServer::newConnection, this, &LocalHttpServer::Accept);
}

LocalHttpServer::~LocalHttpServer() {
    for (const QPointer<QTcpSocket>& socket : FSilent) {
        if (socket)
            socket->abort();
    }
}

QString LocalHttpServer::BaseUrl() const {
    return QStringLiteral("http://127.0.0.1:%1").arg(FServer->serverPort());
}

void LocalHttpServer::SetResponse(const QString& path, const HttpResponse& response) {
    FResponses.insert(path, response);
}

int LocalHttpServer::RequestCount(const QString& path) const {
    return static_cast<int>(FRequests.count(path));
}

int LocalHttpServer::HeadCount(const QString& path) const {
    return static_cast<int>(FHeadRequests.count(path));
}

void LocalHttpServer::Accept() {
    while (QTcpSocket* socket = FServer->nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Read(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void LocalHttpServer::Read(QTcpSocket* socket) {
    QByteArray& pending = FPending[socket];
    pending += socket->readAll();
    if (!pending.contains("\r\n\r\n"))
        return;
    // One request per connection: the answer closes it.
    const QByteArray requestLine = pending.left(pending.indexOf("\r\n"));
    FPending.remove(socket);
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
    const QList<QByteArray> parts = requestLine.split(' ');
    const QString path = parts.size() >= 2 ? QUrl(QString::fromLatin1(parts[1])).path() : QString();
    const bool headOnly = parts.value(0) == "HEAD";
    if (headOnly) {
        FHeadRequests.append(path);
    } else {
        FRequests.append(path);
        emit Requested(path);
    }

    const auto found = FResponses.constFind(path);
    HttpResponse response;
    if (found == FResponses.constEnd())
        response = HttpResponse{404, "text/plain", "not found", false, false};
    else
        response = *found;
    if (response.NeverAnswer) {
        FSilent.append(socket);
        return;
    }
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.Status) + ' ' +
                      ReasonPhrase(response.Status) + "\r\n";
    head += "Content-Type: " + response.ContentType + "\r\n";
    head += "Content-Length: " + QByteArray::number(response.Body.size()) + "\r\n";
    head += response.Cacheable ? "Cache-Control: max-age=3600\r\n" : "Cache-Control: no-store\r\n";
    head += "Connection: close\r\n\r\n";
    socket->write(headOnly ? head : head + response.Body);
    socket->disconnectFromHost();
}

} // namespace vardocle::test
