#include "platform/hotkeys/HotKeyReceiver.h"

#include "platform/hotkeys/PortalShortcuts.h"
#include "platform/hotkeys/X11HotKeyReceiver.h"
#include "platform/hotkeys/X11Root.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

namespace vardocle {

namespace {

// Without a desktop no program can take keys; every registration is refused,
// exactly as a desktop refuses a key that another program holds.
class TNoHotKeyReceiver final : public IHotKeyReceiver {
public:
    bool RegisterHotKey(std::uint16_t, std::uint16_t, std::uint16_t) override { return false; }
    bool UnregisterHotKey(std::uint16_t) override { return false; }
    void SetHandler(THandler) override {}
    bool TakesKeys() const override { return false; }
};

bool WaylandSession() {
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland");
}

} // namespace

std::unique_ptr<IHotKeyReceiver> CreateHotKeyReceiver() {
    // On a Wayland desktop an X11 grab hears keys only while one of the
    // program's windows has the focus; the desktop's own shortcuts do better.
    if (WaylandSession() && PortalOffersGlobalShortcuts(QDBusConnection::sessionBus()))
        return std::make_unique<TPortalShortcutsReceiver>(QDBusConnection::sessionBus());
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (app && QGuiApplication::platformName() == QLatin1String("xcb")) {
        auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>();
        if (x11 && x11->connection()) {
            const xcb_window_t root = X11DefaultRoot(x11->display(), x11->connection());
            return std::make_unique<TX11HotKeyReceiver>(x11->connection(), root);
        }
    }
    return std::make_unique<TNoHotKeyReceiver>();
}

} // namespace vardocle
