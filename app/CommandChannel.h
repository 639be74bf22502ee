#pragma once
// The running copy's command socket: a local socket in the user's private
// runtime folder, one request and one reply per connection. Other programs
// of the same user (their own key bindings, scripts) reach the running copy
// through it; other users cannot.
#include "app/CommandLine.h"

#include <QObject>
#include <QString>

#include <functional>

class QLocalServer;
class QLocalSocket;

namespace vardocle {

// The socket of the copy on `display`; empty when the user has no private
// runtime folder.
QString CommandSocketPath(const QString& display);

class TCommandChannel : public QObject {
    Q_OBJECT
public:
    // Answers once, possibly later (after a question or when a file is saved).
    using TAnswer = std::function<void(const TCommandReply&)>;
    using THandler = std::function<void(const TCommandRequest&, TAnswer)>;

    // Listens at `socketPath`, replacing a socket left by a copy that ended:
    // the caller holds the single-instance lock, so no live copy owns it.
    TCommandChannel(const QString& socketPath, THandler handler, QObject* owner);
    ~TCommandChannel() override;

    bool Listening() const;
    const QString& SocketPath() const { return FSocketPath; }

private:
    void Accept();
    void Read(QLocalSocket* socket);

    QString FSocketPath;
    THandler FHandler;
    QLocalServer* FServer = nullptr;
};

// Sends one request to the copy listening at `socketPath` and waits for its
// reply (a question in the running copy may take the user a while).
// Refused with a reason when nothing listens there, the copy ended first or
// gave no answer within `replyLimitMs` (-1: no limit).
TCommandReply SendCommand(const QString& socketPath, const TCommandRequest& request,
                          int replyLimitMs = -1);

} // namespace vardocle
