#pragma once
// A small HTTP/1.1 server on 127.0.0.1 running in the test's own event loop:
// it answers GET requests from a table of paths (HEAD requests with the head
// alone), counts every request, and can be told to accept a connection and
// never answer.
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

class QTcpServer;
class QTcpSocket;

namespace vardocle::test {

struct HttpResponse {
    int Status = 200;
    QByteArray ContentType = "text/plain; charset=utf-8";
    QByteArray Body;
    bool NeverAnswer = false; // keep the connection open and say nothing
    bool Cacheable = false;   // allow browsers to keep the answer for an hour
};

class LocalHttpServer : public QObject {
    Q_OBJECT
public:
    LocalHttpServer();
    ~LocalHttpServer() override;

    // "http://127.0.0.1:PORT", without a trailing slash.
    QString BaseUrl() const;
    // Paths without a response get 404.
    void SetResponse(const QString& path, const HttpResponse& response);
    // How often `path` was requested (the query is not part of the path);
    // HEAD requests are counted apart.
    int RequestCount(const QString& path) const;
    int HeadCount(const QString& path) const;
    // Every requested path, in order.
    QStringList Requests() const { return FRequests; }

signals:
    void Requested(const QString& path);

private:
    void Accept();
    void Read(QTcpSocket* socket);

    QTcpServer* FServer;
    QHash<QString, HttpResponse> FResponses;
    QStringList FRequests;
    QStringList FHeadRequests;
    QHash<QTcpSocket*, QByteArray> FPending; // requests read in part
    QList<QPointer<QTcpSocket>> FSilent;     // connections left unanswered on purpose
};

} // namespace vardocle::test
