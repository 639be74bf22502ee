#include "app/RefusedHotKeys.h"

namespace vardocle {

QString RefusedHotKeysNotice(const QStringList& refused) {
    if (refused.isEmpty())
        return {};
    return QStringLiteral("以下热键已被其他程序占用：%1\n"
                          "可以在桌面的键盘设置中把自己的快捷键绑定到命令 "
                          "vardocle --command start|pause|resume|stop|show|hide|quit。")
        .arg(refused.join(QStringLiteral("、")));
}

QString RefusedHint(const QString& hint) {
    return hint + QStringLiteral(" —— 已被其他程序占用");
}

} // namespace vardocle
