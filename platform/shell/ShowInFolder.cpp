#include "platform/shell/ShowInFolder.h"

#include "platform/base/QtChild.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace vardocle {

namespace {

void OpenFolder(const QString& file) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(file).absolutePath()));
}

} // namespace

void ShowFileInFolder(const QString& file) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        OpenFolder(file);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath()).toString()}
         << QString();
    // No file manager answers on this desktop: the folder opens as a link would.
    auto* watcher = MakeQtChild<QDBusPendingCallWatcher>(bus.asyncCall(call, 5000),
                                                         QCoreApplication::instance());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [file](QDBusPendingCallWatcher* done) {
                         if (QDBusPendingReply<>(*done).isError())
                             OpenFolder(file);
                         done->deleteLater();
                     });
}

} // namespace vardocle
