#pragma once
// One screen-cast session with the desktop portal over D-Bus: the source
// types it offers, CreateSession, SelectSources (a monitor or a window),
// Start, OpenPipeWireRemote. Each step runs on the
// thread's event loop without blocking it, so a window keeps painting while
// the desktop asks the user which screen to share; each has a time-out.
#include "platform/base/UniqueFd.h"
#include "platform/screen/portal/PortalAnswers.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariantMap>

#include <functional>
#include <optional>
#include <string>

class QDBusMessage;
class QDBusPendingCallWatcher;
class QDBusServiceWatcher;

namespace vardocle {

struct TPortalSessionOptions {
    bool EmbedCursor = true;
    TPortalSource Source = TPortalSource::Monitor;
    std::string RestoreToken; // empty: the user chooses
    int RequestTimeoutMs = 10000;
    // The steps at which the desktop may ask the user wait this long.
    int ChooserTimeoutMs = 120000;
};

// What the session hands on once the screen is shared.
struct TPortalCast {
    TPortalStream Stream;
    UniqueFd PipeWire; // the connection to the stream's graph
    std::string RestoreToken;
};

class TPortalSession : public QObject {
    Q_OBJECT
public:
    explicit TPortalSession(QObject* parent = nullptr);
    // Closes the portal's session: the desktop stops sharing.
    ~TPortalSession() override;

    // Starts the handshake; exactly one of OnReady and OnFailed follows. Once
    // ready, OnEnded follows when the desktop ends the sharing (its own stop,
    // or the window closed) and OnFailed when the portal goes away.
    void Start(const TPortalSessionOptions& options);

    std::function<void(TPortalCast& cast)> OnReady;
    std::function<void(const std::string& message)> OnFailed;
    std::function<void()> OnEnded;

private slots:
    void RequestAnswered(const QDBusMessage& message);
    void SessionClosed(const QDBusMessage& message);

private:
    enum class TStep {
        Idle,
        SourceTypes,
        CreateSession,
        SelectSources,
        Start,
        OpenRemote,
        Ready,
        Failed
    };

    // Calls without blocking; `answered` gets the reply, and the session
    // fails when none came in `timeoutMs`.
    void Call(const QDBusMessage& call, int timeoutMs,
              const std::function<void(QDBusPendingCallWatcher*)>& answered);
    void Request(TStep step, const QString& method, QVariantList arguments, QVariantMap options);
    void RequestCalled(QDBusPendingCallWatcher* call);
    void SourceTypesRead(QDBusPendingCallWatcher* call);
    void CreateSession();
    void Answered(std::uint32_t code, const QVariantMap& results);
    void SelectSources();
    void StartCast();
    void StartAnswered(const QVariantMap& results);
    void OpenRemote();
    void Fail(TPortalFailure failure, const std::string& detail);
    void StopListening();

    QDBusConnection FBus;
    TPortalSessionOptions FOptions;
    TStep FStep = TStep::Idle;
    QString FSessionHandle;
    QString FRequestPath;
    QTimer FTimeout;
    QDBusServiceWatcher* FPortalWatcher = nullptr; // child of this
    TPortalCast FCast;
};

} // namespace vardocle
