#include "platform/hotkeys/PortalShortcuts.h"

#include "platform/hotkeys/VirtualKeys.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <X11/Xlib.h>

#include <unistd.h>

namespace {

// One entry of BindShortcuts' list, (sa{sv}).
struct TPortalShortcut {
    QString Id;
    QVariantMap Properties;
};

} // namespace

Q_DECLARE_METATYPE(TPortalShortcut)

namespace {

QDBusArgument& operator<<(QDBusArgument& argument, const TPortalShortcut& shortcut) {
    argument.beginStructure();
    argument << shortcut.Id << shortcut.Properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, TPortalShortcut& shortcut) {
    argument.beginStructure();
    argument >> shortcut.Id >> shortcut.Properties;
    argument.endStructure();
    return argument;
}

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kShortcuts = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kRequest = QStringLiteral("org.freedesktop.portal.Request");
const QString kIdPrefix = QStringLiteral("vardocle-hotkey-");

} // namespace

namespace vardocle {

std::string ShortcutTrigger(std::uint16_t modifiers, std::uint16_t key) {
    const std::uint32_t keysym = KeysymForVirtualKey(key);
    const char* name = keysym ? XKeysymToString(keysym) : nullptr;
    if (!name)
        return {};
    std::string trigger;
    if (modifiers & MOD_CONTROL)
        trigger += "CTRL+";
    if (modifiers & MOD_ALT)
        trigger += "ALT+";
    if (modifiers & MOD_SHIFT)
        trigger += "SHIFT+";
    if (modifiers & MOD_WIN)
        trigger += "LOGO+";
    return trigger + name;
}

bool PortalOffersGlobalShortcuts(const QDBusConnection& bus) {
    if (!bus.isConnected())
        return false;
    QDBusMessage get = QDBusMessage::createMethodCall(
        kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get.setArguments({kShortcuts, QStringLiteral("version")});
    const QDBusMessage reply = bus.call(get, QDBus::Block, 1000);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty();
}

TPortalShortcutsReceiver::TPortalShortcutsReceiver(const QDBusConnection& bus) : FBus(bus) {
    qDBusRegisterMetaType<TPortalShortcut>();
    qDBusRegisterMetaType<QList<TPortalShortcut>>();
    FBindSoon.setSingleShot(true);
    connect(&FBindSoon, &QTimer::timeout, this, [this] { Bind(); });
    QVariantMap options;
    options.insert(QStringLiteral("session_handle_token"),
                   QStringLiteral("vardocle%1").arg(::getpid()));
    Call(TStep::CreateSession, QStringLiteral("CreateSession"), {}, options);
}

TPortalShortcutsReceiver::~TPortalShortcutsReceiver() {
    if (!FSession.isEmpty())
        FBus.send(QDBusMessage::createMethodCall(kService, FSession,
                                                 QStringLiteral("org.freedesktop.portal.Session"),
                                                 QStringLiteral("Close")));
}

bool TPortalShortcutsReceiver::RegisterHotKey(std::uint16_t id, std::uint16_t modifiers,
                                              std::uint16_t key) {
    if (FKeys.count(id) || ShortcutTrigger(modifiers, key).empty())
        return false;
    for (const auto& [other, message] : FKeys)
        if (message.Modifiers == modifiers && message.Key == key)
            return false;
    FKeys[id] = {id, modifiers, key};
    FBindWanted = true;
    FBindSoon.start(0); // the registrations of one moment go out together
    return true;
}

bool TPortalShortcutsReceiver::UnregisterHotKey(std::uint16_t id) {
    if (!FKeys.erase(id))
        return false;
    FBindWanted = true;
    FBindSoon.start(0);
    return true;
}

void TPortalShortcutsReceiver::Call(TStep step, const QString& method, QVariantList arguments,
                                    QVariantMap options) {
    FStep = step;
    const QString token = QStringLiteral("vardocle%1_%2").arg(::getpid()).arg(++FCounter);
    options.insert(QStringLiteral("handle_token"), token);
    QString sender = FBus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    FRequestPath = kPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
    // Listening starts before the call: the answer may come before the reply.
    FBus.connect(kService, FRequestPath, kRequest, QStringLiteral("Response"), this,
                 SLOT(Answered(QDBusMessage)));
    arguments.append(options);
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kShortcuts, method);
    call.setArguments(arguments);
    FBus.asyncCall(call, 10000);
}

void TPortalShortcutsReceiver::Bind() {
    if (FSession.isEmpty() || FStep != TStep::Idle || !FBindWanted)
        return; // again once the session exists or the last binding was answered
    FBindWanted = false;
    QList<TPortalShortcut> shortcuts;
    for (const auto& [id, message] : FKeys) {
        QVariantMap properties;
        properties.insert(QStringLiteral("description"),
                          QStringLiteral("Vardocle 快捷键 %1").arg(id));
        properties.insert(QStringLiteral("preferred_trigger"),
                          QString::fromStdString(ShortcutTrigger(message.Modifiers, message.Key)));
        shortcuts.push_back({kIdPrefix + QString::number(id), properties});
    }
    Call(
        TStep::Bind, QStringLiteral("BindShortcuts"),
        {QVariant::fromValue(QDBusObjectPath(FSession)), QVariant::fromValue(shortcuts), QString()},
        {});
}

void TPortalShortcutsReceiver::Answered(const QDBusMessage& message) {
    if (message.path() != FRequestPath)
        return;
    FBus.disconnect(kService, FRequestPath, kRequest, QStringLiteral("Response"), this,
                    SLOT(Answered(QDBusMessage)));
    const QVariantList arguments = message.arguments();
    const bool granted = arguments.size() == 2 && arguments[0].toUInt() == 0;
    if (FStep == TStep::CreateSession && granted) {
        const QVariantMap results = qdbus_cast<QVariantMap>(arguments[1]);
        const QVariant handle = results.value(QStringLiteral("session_handle"));
        FSession = handle.canConvert<QDBusObjectPath>() ? handle.value<QDBusObjectPath>().path()
                                                        : handle.toString();
        if (!FSession.isEmpty())
            FBus.connect(kService, kPath, kShortcuts, QStringLiteral("Activated"), this,
                         SLOT(ShortcutActivated(QDBusMessage)));
    }
    // A session the desktop refused leaves the hotkeys unbound, as keys that
    // another program holds are.
    FStep = TStep::Idle;
    Bind();
}

void TPortalShortcutsReceiver::ShortcutActivated(const QDBusMessage& message) {
    const QVariantList arguments = message.arguments();
    if (arguments.size() < 2 || arguments[0].value<QDBusObjectPath>().path() != FSession)
        return;
    const QString name = arguments[1].toString();
    if (!name.startsWith(kIdPrefix))
        return;
    bool number = false;
    const uint id = name.mid(kIdPrefix.size()).toUInt(&number);
    const auto found = number ? FKeys.find(static_cast<std::uint16_t>(id)) : FKeys.end();
    if (found != FKeys.end() && FHandler)
        FHandler(found->second);
}

} // namespace vardocle
