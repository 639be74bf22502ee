#pragma once
// Hotkeys through the desktop portal's global shortcuts, for Wayland desktops
// that offer them: the program names each shortcut with the keys it would
// like, the desktop (and its user) decides the keys, and presses come back as
// signals. Registrations are gathered and bound together once the portal's
// session exists, so the desktop asks about all of them at once.
#include "platform/hotkeys/HotKeyReceiver.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QTimer>

#include <map>
#include <string>

class QDBusMessage;

namespace vardocle {

// The desktop's name for the keys ("CTRL+ALT+F9"); empty when the key has none.
std::string ShortcutTrigger(std::uint16_t modifiers, std::uint16_t key);

// Whether the portal on `bus` offers global shortcuts (asked with a short time-out).
bool PortalOffersGlobalShortcuts(const QDBusConnection& bus);

class TPortalShortcutsReceiver final : public QObject, public IHotKeyReceiver {
    Q_OBJECT
public:
    explicit TPortalShortcutsReceiver(const QDBusConnection& bus);
    ~TPortalShortcutsReceiver() override;

    // True unless the identifier or the keys are already registered here or
    // the keys have no name; the desktop's answer comes later.
    bool RegisterHotKey(std::uint16_t id, std::uint16_t modifiers, std::uint16_t key) override;
    bool UnregisterHotKey(std::uint16_t id) override;
    void SetHandler(THandler handler) override { FHandler = std::move(handler); }

private slots:
    void Answered(const QDBusMessage& message);
    void ShortcutActivated(const QDBusMessage& message);

private:
    enum class TStep { CreateSession, Bind, Idle };
    void Call(TStep step, const QString& method, QVariantList arguments, QVariantMap options);
    void Bind();

    QDBusConnection FBus;
    QString FSession;
    QString FRequestPath;
    TStep FStep = TStep::Idle;
    bool FBindWanted = false;
    QTimer FBindSoon;
    int FCounter = 0;
    std::map<std::uint16_t, THotKeyMessage> FKeys;
    THandler FHandler;
};

} // namespace vardocle
