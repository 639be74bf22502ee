#include "app/RecordingNotices.h"

#include "platform/base/Errors.h"

namespace vardocle {

namespace {

// "（磁盘已满）" and the like, where the system said why.
QString Reason(int errorNumber) {
    return errorNumber != 0 ? QStringLiteral("（%1）").arg(
                                  QString::fromStdString(ChineseWriteErrorReason(errorNumber)))
                            : QString();
}

} // namespace

QString RecordFailedNotice(const TRecordError& error, const QString& aviFileName,
                           const QString& wavFileName) {
    const QString reason = QString::fromStdString(error.Message);
    if (error.DiskFull() && error.Stage != TRecordError::TStage::Open)
        return {};
    switch (error.Stage) {
    case TRecordError::TStage::Open:
        return QStringLiteral("无法开始录制：不能写入文件%1\n%2\n%3")
            .arg(Reason(error.ErrorNumber), aviFileName, reason);
    case TRecordError::TStage::Frame:
        return QStringLiteral("录制中断：写入文件失败，已录制的部分已保存。\n%1\n%2")
            .arg(aviFileName, reason);
    case TRecordError::TStage::Close:
        return QStringLiteral("录像已保存，但声音未能合并。声音文件保留在：\n%1\n%2")
            .arg(wavFileName, reason);
    }
    return {};
}

QString SoundStartFailedNotice(const std::exception& error) {
    const auto* created = dynamic_cast<const EFCreateError*>(&error);
    return QStringLiteral("无法开始录制：不能创建声音文件%1。\n%2")
        .arg(Reason(created ? created->ErrorNumber() : 0), QString::fromUtf8(error.what()));
}

} // namespace vardocle
