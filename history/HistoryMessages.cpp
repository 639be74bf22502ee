#include "history/HistoryMessages.h"

namespace vardocle {

QString HistoryRepairNotice(const HistoryRepair& repair) {
    if (repair.DroppedTailBytes == 0)
        return {};
    return QStringLiteral(
               "历史记录文件末尾有 %1 字节不完整的记录，已将其丢弃；完整的记录都已保留。")
        .arg(repair.DroppedTailBytes);
}

QString HistoryErrorText(const std::exception& error) {
    QString text = QString::fromUtf8(error.what());
    if (const auto* tail = dynamic_cast<const EHistoryPartialTail*>(&error)) {
        text +=
            QStringLiteral("\n\n历史记录文件末尾有 %1 字节不完整的记录（录制时程序可能意外中止）。"
                           "完整的记录都已列出，下次添加或删除记录时将丢弃这段不完整的数据。")
                .arg(tail->TailBytes());
    }
    return text;
}

} // namespace vardocle
