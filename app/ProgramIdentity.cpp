#include "app/ProgramIdentity.h"

#include "assets/Assets.h"

#include <QGuiApplication>

namespace vardocle {

QIcon ProgramIcon() {
    InitAssets();
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/vardocle-%1.png").arg(size), QSize(size, size));
    return icon;
}

void ApplyProgramIdentity() {
    QGuiApplication::setWindowIcon(ProgramIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("vardocle"));
}

} // namespace vardocle
