#include "app/RefusedHotKeys.h"

namespace vardocle {

QString RefusedHotKeysNotice(const QStringList& refused) {
    if (refused.isEmpty())
        return {};
    return QStringLiteral("以下热键已被其他程序占用：%1\n"
                          "可以在设置窗口的“热键”中换一个组合键，或在桌面的键盘设置中"
                          "把自己的快捷键绑定到命令 "
                          "vardocle --command start|pause|resume|stop|show|hide|quit。")
        .arg(refused.join(QStringLiteral("、")));
}

QString RefusedHint(const QString& hint) {
    return hint + QStringLiteral(" —— 已被其他程序占用");
}

} // namespace vardocle
