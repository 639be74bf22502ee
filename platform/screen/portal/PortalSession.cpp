#include "platform/screen/portal/PortalSession.h"

#include "platform/base/QtChild.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>

#include <atomic>

#include <unistd.h>

namespace vardocle {

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kScreenCast = QStringLiteral("org.freedesktop.portal.ScreenCast");
const QString kRequest = QStringLiteral("org.freedesktop.portal.Request");
const QString kSession = QStringLiteral("org.freedesktop.portal.Session");

constexpr std::uint32_t kCursorHidden = 1;
constexpr std::uint32_t kCursorEmbedded = 2;
constexpr std::uint32_t kPersistUntilRevoked = 2;

// (ii) inside a stream's properties; false when it has another shape.
bool ReadPair(const QVariant& value, int& first, int& second) {
    if (!value.canConvert<QDBusArgument>())
        return false;
    const QDBusArgument argument = value.value<QDBusArgument>();
    if (argument.currentSignature() != QLatin1String("(ii)"))
        return false;
    argument.beginStructure();
    argument >> first >> second;
    argument.endStructure();
    return true;
}

// The "streams" of Start's answer, a(ua{sv}); none when missing or of
// another shape.
std::optional<std::vector<TPortalStream>> ReadStreams(const QVariantMap& results) {
    const auto found = results.constFind(QStringLiteral("streams"));
    if (found == results.constEnd() || !found->canConvert<QDBusArgument>())
        return std::nullopt;
    const QDBusArgument argument = found->value<QDBusArgument>();
    if (argument.currentSignature() != QLatin1String("a(ua{sv})"))
        return std::nullopt;
    std::vector<TPortalStream> streams;
    argument.beginArray();
    while (!argument.atEnd()) {
        TPortalStream stream;
        QVariantMap properties;
        argument.beginStructure();
        argument >> stream.Node >> properties;
        argument.endStructure();
        stream.HasSize =
            ReadPair(properties.value(QStringLiteral("size")), stream.Width, stream.Height);
        streams.push_back(stream);
    }
    argument.endArray();
    return streams;
}

// Tokens name the session's and the requests' objects on the bus: a second
// session of this process (a still picture, then the recording) must not
// meet the objects of the one before, which the portal may still hold.
int NextToken() {
    static std::atomic<int> counter{0};
    return ++counter;
}

bool MeansNoPortal(const QDBusError& error) {
    return error.type() == QDBusError::ServiceUnknown ||
           error.type() == QDBusError::UnknownInterface ||
           error.type() == QDBusError::UnknownMethod || error.type() == QDBusError::UnknownObject;
}

} // namespace

TPortalSession::TPortalSession(QObject* parent)
    : QObject(parent), FBus(QDBusConnection::sessionBus()) {
    FTimeout.setSingleShot(true);
    connect(&FTimeout, &QTimer::timeout, this,
            [this] { Fail(TPortalFailure::TimedOut, "no answer from the portal in time"); });
}

TPortalSession::~TPortalSession() {
    StopListening();
    if (!FSessionHandle.isEmpty() && FBus.isConnected())
        FBus.send(QDBusMessage::createMethodCall(kService, FSessionHandle, kSession,
                                                 QStringLiteral("Close")));
}

void TPortalSession::Start(const TPortalSessionOptions& options) {
    FOptions = options;
    if (!FBus.isConnected()) {
        // Reported from the event loop, as every other outcome is.
        QTimer::singleShot(0, this, [this] {
            Fail(TPortalFailure::NoBus, FBus.lastError().message().toStdString());
        });
        return;
    }
    FPortalWatcher = MakeQtChild<QDBusServiceWatcher>(
        kService, FBus, QDBusServiceWatcher::WatchForUnregistration, this);
    connect(FPortalWatcher, &QDBusServiceWatcher::serviceUnregistered, this,
            [this] { Fail(TPortalFailure::Closed, "the desktop portal left the bus"); });
    // What the desktop can cast decides whether the request can be made at
    // all: a window that cannot be had is told before any dialog.
    FStep = TStep::SourceTypes;
    QDBusMessage call = QDBusMessage::createMethodCall(
        kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    call.setArguments({kScreenCast, QStringLiteral("AvailableSourceTypes")});
    Call(call, FOptions.RequestTimeoutMs,
         [this](QDBusPendingCallWatcher* finished) { SourceTypesRead(finished); });
}

void TPortalSession::Call(const QDBusMessage& call, int timeoutMs,
                          const std::function<void(QDBusPendingCallWatcher*)>& answered) {
    FTimeout.start(timeoutMs);
    auto* watcher =
        MakeQtChild<QDBusPendingCallWatcher>(FBus.asyncCall(call, FOptions.RequestTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, answered);
}

void TPortalSession::SourceTypesRead(QDBusPendingCallWatcher* call) {
    call->deleteLater();
    if (FStep != TStep::SourceTypes)
        return;
    FTimeout.stop();
    const QDBusPendingReply<QDBusVariant> reply = *call;
    std::optional<std::uint32_t> available;
    if (reply.isError()) {
        if (MeansNoPortal(reply.error()) && reply.error().type() != QDBusError::UnknownMethod) {
            Fail(TPortalFailure::NoPortal, reply.error().message().toStdString());
            return;
        }
        // A portal that does not tell is asked all the same.
    } else {
        bool number = false;
        const std::uint32_t types = reply.value().variant().toUInt(&number);
        if (number)
            available = types;
    }
    if (const auto refusal = PortalSourceRefusal(FOptions.Source, available)) {
        Fail(*refusal, "");
        return;
    }
    CreateSession();
}

void TPortalSession::CreateSession() {
    QVariantMap create;
    create.insert(QStringLiteral("session_handle_token"),
                  QStringLiteral("vardocle%1_%2").arg(::getpid()).arg(NextToken()));
    Request(TStep::CreateSession, QStringLiteral("CreateSession"), {}, create);
}

void TPortalSession::Request(TStep step, const QString& method, QVariantList arguments,
                             QVariantMap options) {
    FStep = step;
    const QString token = QStringLiteral("vardocle%1_%2").arg(::getpid()).arg(NextToken());
    options.insert(QStringLiteral("handle_token"), token);
    // Listening starts before the call: the answer may come before the reply.
    FRequestPath = QString::fromStdString(
        PortalRequestPath(FBus.baseService().toStdString(), token.toStdString()));
    FBus.connect(kService, FRequestPath, kRequest, QStringLiteral("Response"), this,
                 SLOT(RequestAnswered(QDBusMessage)));
    arguments.append(options);
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kScreenCast, method);
    call.setArguments(arguments);
    const bool asksUser = step == TStep::SelectSources || step == TStep::Start;
    Call(call, asksUser ? FOptions.ChooserTimeoutMs : FOptions.RequestTimeoutMs,
         [this](QDBusPendingCallWatcher* finished) { RequestCalled(finished); });
}

void TPortalSession::RequestCalled(QDBusPendingCallWatcher* call) {
    call->deleteLater();
    if (FStep == TStep::Failed)
        return;
    const QDBusPendingReply<QDBusObjectPath> reply = *call;
    if (reply.isError()) {
        const QDBusError error = reply.error();
        Fail(MeansNoPortal(error) ? TPortalFailure::NoPortal : TPortalFailure::Refused,
             error.message().toStdString());
        return;
    }
    // Portals before the handle_token convention answer on a path of their own.
    const QString handle = reply.value().path();
    if (handle != FRequestPath) {
        FBus.disconnect(kService, FRequestPath, kRequest, QStringLiteral("Response"), this,
                        SLOT(RequestAnswered(QDBusMessage)));
        FRequestPath = handle;
        FBus.connect(kService, FRequestPath, kRequest, QStringLiteral("Response"), this,
                     SLOT(RequestAnswered(QDBusMessage)));
    }
}

void TPortalSession::RequestAnswered(const QDBusMessage& message) {
    const QVariantList arguments = message.arguments();
    if (message.path() != FRequestPath || FStep == TStep::Failed)
        return;
    FBus.disconnect(kService, FRequestPath, kRequest, QStringLiteral("Response"), this,
                    SLOT(RequestAnswered(QDBusMessage)));
    FTimeout.stop();
    if (arguments.size() != 2 || !arguments[1].canConvert<QDBusArgument>()) {
        Fail(TPortalFailure::BadAnswer, "the answer is not (ua{sv})");
        return;
    }
    Answered(arguments[0].toUInt(), qdbus_cast<QVariantMap>(arguments[1]));
}

void TPortalSession::Answered(std::uint32_t code, const QVariantMap& results) {
    if (code == 1) {
        Fail(TPortalFailure::Cancelled, "");
        return;
    }
    if (code != 0) {
        Fail(TPortalFailure::Refused, "response " + std::to_string(code));
        return;
    }
    switch (FStep) {
    case TStep::CreateSession: {
        const QVariant handle = results.value(QStringLiteral("session_handle"));
        FSessionHandle = handle.canConvert<QDBusObjectPath>()
                             ? handle.value<QDBusObjectPath>().path()
                             : handle.toString();
        if (FSessionHandle.isEmpty() || !FSessionHandle.startsWith(QLatin1Char('/'))) {
            Fail(TPortalFailure::BadAnswer, "CreateSession gave no session handle");
            return;
        }
        FBus.connect(kService, FSessionHandle, kSession, QStringLiteral("Closed"), this,
                     SLOT(SessionClosed(QDBusMessage)));
        SelectSources();
        return;
    }
    case TStep::SelectSources:
        StartCast();
        return;
    case TStep::Start:
        StartAnswered(results);
        return;
    default:
        return;
    }
}

void TPortalSession::SelectSources() {
    QVariantMap options;
    options.insert(QStringLiteral("types"),
                   QVariant::fromValue(static_cast<std::uint32_t>(FOptions.Source)));
    options.insert(QStringLiteral("multiple"), false);
    options.insert(QStringLiteral("cursor_mode"),
                   QVariant::fromValue(FOptions.EmbedCursor ? kCursorEmbedded : kCursorHidden));
    options.insert(QStringLiteral("persist_mode"), QVariant::fromValue(kPersistUntilRevoked));
    if (IsUsableRestoreToken(FOptions.RestoreToken))
        options.insert(QStringLiteral("restore_token"),
                       QString::fromStdString(FOptions.RestoreToken));
    Request(TStep::SelectSources, QStringLiteral("SelectSources"),
            {QVariant::fromValue(QDBusObjectPath(FSessionHandle))}, options);
}

void TPortalSession::StartCast() {
    Request(TStep::Start, QStringLiteral("Start"),
            {QVariant::fromValue(QDBusObjectPath(FSessionHandle)), QString()}, {});
}

void TPortalSession::StartAnswered(const QVariantMap& results) {
    auto chosen = ChoosePortalStream(ReadStreams(results));
    if (const auto* reason = std::get_if<std::string>(&chosen)) {
        Fail(TPortalFailure::BadAnswer, *reason);
        return;
    }
    FCast.Stream = std::get<TPortalStream>(chosen);
    const std::string token =
        results.value(QStringLiteral("restore_token")).toString().toStdString();
    if (IsUsableRestoreToken(token))
        FCast.RestoreToken = token;
    OpenRemote();
}

void TPortalSession::OpenRemote() {
    FStep = TStep::OpenRemote;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kScreenCast,
                                                       QStringLiteral("OpenPipeWireRemote"));
    call.setArguments({QVariant::fromValue(QDBusObjectPath(FSessionHandle)), QVariantMap()});
    Call(call, FOptions.RequestTimeoutMs, [this](QDBusPendingCallWatcher* finished) {
        finished->deleteLater();
        if (FStep != TStep::OpenRemote)
            return;
        FTimeout.stop();
        const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *finished;
        if (reply.isError()) {
            Fail(TPortalFailure::Refused, reply.error().message().toStdString());
            return;
        }
        const int fd = reply.value().isValid() ? ::dup(reply.value().fileDescriptor()) : -1;
        if (fd < 0) {
            Fail(TPortalFailure::BadAnswer, "OpenPipeWireRemote gave no connection");
            return;
        }
        FCast.PipeWire = UniqueFd(fd);
        FStep = TStep::Ready;
        if (OnReady)
            OnReady(FCast);
    });
}

void TPortalSession::SessionClosed(const QDBusMessage&) {
    if (FStep != TStep::Ready) {
        Fail(TPortalFailure::Closed, "");
        return;
    }
    // The sharing ran and the desktop ended it: no failure of ours.
    FStep = TStep::Failed;
    StopListening();
    if (OnEnded)
        OnEnded();
}

void TPortalSession::Fail(TPortalFailure failure, const std::string& detail) {
    if (FStep == TStep::Failed)
        return;
    FStep = TStep::Failed;
    FTimeout.stop();
    StopListening();
    if (OnFailed)
        OnFailed(PortalFailureMessage(failure, detail));
}

void TPortalSession::StopListening() {
    if (!FRequestPath.isEmpty())
        FBus.disconnect(kService, FRequestPath, kRequest, QStringLiteral("Response"), this,
                        SLOT(RequestAnswered(QDBusMessage)));
    if (!FSessionHandle.isEmpty())
        FBus.disconnect(kService, FSessionHandle, kSession, QStringLiteral("Closed"), this,
                        SLOT(SessionClosed(QDBusMessage)));
    if (FPortalWatcher)
        FPortalWatcher->setWatchMode({});
}

} // namespace vardocle
