#include "update/Update.h"

#include "platform/base/QtChild.h"
#include "update/UpdateCheck.h"

#include <QCoreApplication>
#include <QWidget>

namespace vardocle {

void DoUpdate(QWidget* window, const char* url) {
    if (url == nullptr || *url == '\0' || QCoreApplication::instance() == nullptr)
        return;
    // Owned by the window, so that closing the program ends a check that is
    // still waiting; otherwise by the application.
    QObject* owner = window ? static_cast<QObject*>(window) : QCoreApplication::instance();
    MakeQtChild<TUpdateCheck>(window, QUrl(QString::fromUtf8(url)), kUpdateTimeout, owner);
}

} // namespace vardocle
