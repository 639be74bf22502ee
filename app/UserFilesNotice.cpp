#include "app/UserFilesNotice.h"

#include "platform/base/QtChild.h"

#include <QMessageBox>

namespace vardocle {

QString UserFilesProblemText(const TUserFilesFolder& files) {
    if (files.Usable())
        return {};
    return QStringLiteral("无法保存设置和录像历史：不能创建文件夹 %1\n原因：%2\n\n"
                          "本次仍可照常录制，但设置和历史记录不会保留。")
        .arg(QString::fromStdString(files.Folder().string()),
             QString::fromLocal8Bit(files.Problem().c_str()));
}

void NoteUserFilesProblem(QWidget& owner) {
    const QString text = UserFilesProblemText(UserFiles());
    if (text.isEmpty())
        return;
    auto* box = MakeQtChild<QMessageBox>(QMessageBox::Warning, QStringLiteral("Vardocle 提示"),
                                         text, QMessageBox::Ok, &owner);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
}

} // namespace vardocle
