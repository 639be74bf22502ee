#include "app/WaylandDesktop.h"

#include "app/uFrmSetting.h"
#include "platform/base/QtChild.h"
#include "platform/hotkeys/PortalShortcuts.h"
#include "platform/screen/ScreenBackend.h"

#include <QCheckBox>
#include <QMessageBox>

namespace vardocle {

void PreferXwayland() {
    if (ChooseScreenBackend() == TScreenBackend::Portal &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
}

QString WaylandNoticeText(bool waylandScreen, bool recordTransparent, bool desktopShortcuts) {
    if (!waylandScreen)
        return {};
    QString text =
        QStringLiteral("本程序正在 Wayland 桌面上运行，屏幕通过桌面的屏幕录制门户录制。");
    if (!recordTransparent)
        text += QStringLiteral("\n\n") +
                QString::fromUtf8(SeeThroughNotice(TScreenBackend::Portal).Chinese) +
                QStringLiteral("。");
    if (desktopShortcuts)
        text += QStringLiteral(
            "\n\n快捷键由桌面管理：桌面可能会询问是否允许，也可以在桌面的设置中更改。");
    else
        text += QStringLiteral("\n\n快捷键只有在本程序的窗口处于活动状态时才有效；在其他程序中时，"
                               "请使用主窗口上的按钮或托盘图标的菜单开始、暂停和停止录制。");
    return text;
}

void NoteWaylandDesktop(QWidget& owner, TFrmSetting& setting) {
    const bool wayland = ChooseScreenBackend() == TScreenBackend::Portal;
    const QString text =
        WaylandNoticeText(wayland, setting.Values().RecordTrans,
                          wayland && PortalOffersGlobalShortcuts(QDBusConnection::sessionBus()));
    if (text.isEmpty())
        return;
    if (setting.CheckRecordThansparent)
        setting.CheckRecordThansparent->setToolTip(
            QString::fromUtf8(SeeThroughNotice(TScreenBackend::Portal).Chinese));
    // Owned by its parent, deleted when closed; the program goes on meanwhile.
    auto* box = MakeQtChild<QMessageBox>(QMessageBox::Information, QStringLiteral("Vardocle 提示"),
                                         text, QMessageBox::Ok, &owner);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
}

} // namespace vardocle
