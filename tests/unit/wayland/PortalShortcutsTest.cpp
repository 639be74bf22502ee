// Hotkeys through the desktop portal's global shortcuts, against a stand-in
// portal on a private message bus: what the program asks the desktop to bind,
// and what a press the desktop reports turns into.
#include "platform/hotkeys/PortalShortcuts.h"
#include "tests/support/TestSupport.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QProcess>

#include <chrono>
#include <gtest/gtest.h>

using namespace vardocle;

namespace {

const QString kSession = QStringLiteral("/org/freedesktop/portal/desktop/session/1/vardocle");

// Answers CreateSession and BindShortcuts as a desktop that grants them, and
// keeps the shortcuts of each binding.
class TFakeShortcutsPortal : public QDBusVirtualObject {
public:
    explicit TFakeShortcutsPortal(QDBusConnection bus) : FBus(std::move(bus)) {}
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection&) override {
        const QString method = message.member();
        const QVariantList arguments = message.arguments();
        const QVariantMap options = qdbus_cast<QVariantMap>(arguments.last());
        QString sender = message.service().mid(1);
        sender.replace('.', '_');
        const QString request = "/org/freedesktop/portal/desktop/request/" + sender + "/" +
                                options.value("handle_token").toString();
        FBus.send(message.createReply(QVariant::fromValue(QDBusObjectPath(request))));
        QVariantMap results;
        if (method == QLatin1String("CreateSession")) {
            results.insert("session_handle", kSession);
        } else if (method == QLatin1String("BindShortcuts")) {
            std::map<QString, QString> bound;
            const QDBusArgument list = arguments[1].value<QDBusArgument>();
            list.beginArray();
            while (!list.atEnd()) {
                QString id;
                QVariantMap properties;
                list.beginStructure();
                list >> id >> properties;
                list.endStructure();
                bound[id] = properties.value("preferred_trigger").toString();
            }
            list.endArray();
            Bindings.push_back(bound);
        }
        QDBusMessage response =
            QDBusMessage::createSignal(request, "org.freedesktop.portal.Request", "Response");
        response << 0u << results;
        FBus.send(response);
        return true;
    }
    void Press(const QString& session, const QString& id) {
        QDBusMessage signal =
            QDBusMessage::createSignal("/org/freedesktop/portal/desktop",
                                       "org.freedesktop.portal.GlobalShortcuts", "Activated");
        signal << QVariant::fromValue(QDBusObjectPath(session)) << id << quint64(1)
               << QVariantMap();
        FBus.send(signal);
    }
    std::vector<std::map<QString, QString>> Bindings;

private:
    QDBusConnection FBus;
};

bool WaitFor(const std::function<bool()>& condition) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!condition() && std::chrono::steady_clock::now() < end)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return condition();
}

class PortalShortcuts : public ::testing::Test {
protected:
    void SetUp() override {
        Bus.start("dbus-daemon", {"--session", "--nofork", "--nopidfile", "--print-address"});
        ASSERT_TRUE(Bus.waitForStarted(5000)) << "dbus-daemon is needed";
        ASSERT_TRUE(Bus.waitForReadyRead(5000));
        const QString address = QString::fromUtf8(Bus.readLine()).trimmed();
        Desktop = QDBusConnection::connectToBus(address, "desktop");
        Program = QDBusConnection::connectToBus(address, "program");
        ASSERT_TRUE(Desktop.isConnected() && Program.isConnected());
        Portal = std::make_unique<TFakeShortcutsPortal>(Desktop);
        ASSERT_TRUE(Desktop.registerVirtualObject("/org/freedesktop/portal/desktop", Portal.get()));
        ASSERT_TRUE(Desktop.registerService("org.freedesktop.portal.Desktop"));
    }
    void TearDown() override {
        QDBusConnection::disconnectFromBus("desktop");
        QDBusConnection::disconnectFromBus("program");
        Bus.kill();
        Bus.waitForFinished(3000);
    }

    int Argc = 0;
    QCoreApplication Application{Argc, nullptr};
    QProcess Bus;
    QDBusConnection Desktop{QString()};
    QDBusConnection Program{QString()};
    std::unique_ptr<TFakeShortcutsPortal> Portal;
};

} // namespace

TEST(ShortcutTrigger, NamesTheKeysAsTheDesktopWritesThem) {
    EXPECT_EQ(ShortcutTrigger(MOD_ALT, '1'), "ALT+1");
    EXPECT_EQ(ShortcutTrigger(MOD_CONTROL | MOD_ALT | MOD_SHIFT, 0x78 /* F9 */),
              "CTRL+ALT+SHIFT+F9");
    EXPECT_EQ(ShortcutTrigger(MOD_CONTROL, 'S'), "CTRL+s");
    EXPECT_EQ(ShortcutTrigger(MOD_ALT, 0), "");
}

TEST_F(PortalShortcuts, RegistrationsAreBoundTogetherAndPressesComeBackAsTheirHotkeys) {
    TPortalShortcutsReceiver receiver(Program);
    std::vector<THotKeyMessage> pressed;
    receiver.SetHandler([&](const THotKeyMessage& message) { pressed.push_back(message); });
    EXPECT_TRUE(receiver.RegisterHotKey(1, MOD_ALT, '1'));
    EXPECT_TRUE(receiver.RegisterHotKey(4, MOD_ALT, '4'));
    EXPECT_FALSE(receiver.RegisterHotKey(4, MOD_ALT, '5')) << "an identifier twice";
    EXPECT_FALSE(receiver.RegisterHotKey(5, MOD_ALT, '1')) << "the same keys twice";
    ASSERT_TRUE(WaitFor([&] { return !Portal->Bindings.empty(); }));
    ASSERT_EQ(Portal->Bindings.size(), 1u) << "one binding for the registrations of one moment";
    EXPECT_EQ(Portal->Bindings[0], (std::map<QString, QString>{{"vardocle-hotkey-1", "ALT+1"},
                                                               {"vardocle-hotkey-4", "ALT+4"}}));

    Portal->Press(kSession, "vardocle-hotkey-4");
    Portal->Press("/org/freedesktop/portal/desktop/session/1/other", "vardocle-hotkey-1");
    Portal->Press(kSession, "someone-else");
    ASSERT_TRUE(WaitFor([&] { return !pressed.empty(); }));
    QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
    ASSERT_EQ(pressed.size(), 1u) << "presses of other sessions or shortcuts count";
    EXPECT_EQ(pressed[0].Id, 4);
    EXPECT_EQ(pressed[0].Modifiers, MOD_ALT);
    EXPECT_EQ(pressed[0].Key, '4');

    EXPECT_TRUE(receiver.UnregisterHotKey(1));
    EXPECT_FALSE(receiver.UnregisterHotKey(1));
    ASSERT_TRUE(WaitFor([&] { return Portal->Bindings.size() == 2; }));
    EXPECT_EQ(Portal->Bindings[1], (std::map<QString, QString>{{"vardocle-hotkey-4", "ALT+4"}}));
}
