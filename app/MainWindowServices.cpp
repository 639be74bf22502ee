#include "app/MainWindowServices.h"

#include "app/uFrmAskExit.h"
#include "app/uFrmMain.h"
#include "platform/base/Errors.h"
#include "platform/base/QtChild.h"
#include "platform/screen/ScreenBackend.h"
#include "platform/shell/ShowInFolder.h"
#include "update/Update.h"

#include <QFileDialog>
#include <QMessageBox>

#include <cstdio>

namespace vardocle {

namespace {

std::optional<QString> ChooseFileWithDialog(TFrmMain& owner, const QString& initialName) {
    QFileDialog dialog(&owner, QStringLiteral("保存"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The overwrite question is asked by recording control, for the sound file too.
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
    dialog.setNameFilter(QStringLiteral("AVI(*.avi *.AVI)"));
    dialog.selectFile(initialName);
    owner.SaveDialog1 = &dialog;
    const int result = dialog.exec();
    owner.SaveDialog1 = nullptr;
    if (result != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

bool AskOverwriteWithMessageBox(TFrmMain& owner) {
    return QMessageBox::warning(
               &owner, QStringLiteral("警告"), QStringLiteral("文件已经存在，要替换原文件吗？"),
               QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

// Not modal: the recording (and its closing work on this thread) goes on
// while the notice is read.
void ShowNoticeBox(TFrmMain& owner, const QString& message) {
    // Also in the program's log, where a notice closed unread can be found.
    std::fprintf(stderr, "Vardocle: %s\n", qPrintable(message));
    // Owned by its parent, deleted when closed.
    auto* box = MakeQtChild<QMessageBox>(QMessageBox::Warning, QStringLiteral("Vardocle"), message,
                                         QMessageBox::Ok, &owner);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowFlag(Qt::WindowStaysOnTopHint);
    box->show();
}

// Not modal to the loop: the window keeps painting while the question waits.
void AskRepairWithMessageBox(TFrmMain& owner, const QStringList& files,
                             std::function<void(bool)> answer) {
    auto* box = MakeQtChild<QMessageBox>(
        QMessageBox::Question, QStringLiteral("发现未完成的录像"),
        (files.size() == 1
             ? QStringLiteral("上次录制时程序意外中止，这个录像没有完成：\n%1\n\n要修复它吗？")
             : QStringLiteral("上次录制时程序意外中止，以下录像没有完成：\n%1\n\n要修复它们吗？"))
            .arg(files.join('\n')),
        QMessageBox::Yes | QMessageBox::No, &owner);
    box->setDefaultButton(QMessageBox::Yes);
    box->setWindowFlag(Qt::WindowStaysOnTopHint);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(box, &QMessageBox::finished, box, [box, answer = std::move(answer)](int) {
        answer(box->clickedButton() == box->button(QMessageBox::Yes));
    });
    box->open();
}

} // namespace

TMainWindowServices TMainWindowServices::System() {
    TMainWindowServices services;
    services.ChooseFile = ChooseFileWithDialog;
    services.AskOverwrite = AskOverwriteWithMessageBox;
    services.AskExit = [](TFrmMain& owner, const QString& message) {
        return vardocle::AskExit(message, &owner);
    };
    services.ShowNotice = ShowNoticeBox;
    // The highest rate a recording can have: the desktop may send that many.
    services.MakeScreen = [](const TCaptureArea& area) {
        return vardocle::MakeScreen(ChooseScreenBackend(), 5, area);
    };
    services.MakeRecorder = [] { return std::make_unique<TWavRecord>(); };
    services.Repair = TRecordingRepairService::System();
    services.AskRepair = AskRepairWithMessageBox;
    services.ShowFileInFolder = vardocle::ShowFileInFolder;
    services.DoUpdate = [](QWidget* window, const char* url) { vardocle::DoUpdate(window, url); };
    return services;
}

} // namespace vardocle
