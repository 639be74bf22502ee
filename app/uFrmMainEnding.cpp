// How the main window ends the program: the exit question, a recording
// saved in full before the close, the end on a signal or with the session,
// and the question about recordings an earlier run left incomplete.
#include "app/ApplicationErrors.h"
#include "app/HistoryRepair.h"
#include "app/uFrmMain.h"
#include "app/uFrmSetting.h"
#include "platform/base/QtChild.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QSystemTrayIcon>
#include <QTimer>

#include <cstdio>

namespace vardocle {

namespace {

const QString kExitQuestion = QStringLiteral("Vardocle正在录制当中，你确定要退出?");

} // namespace

void TFrmMain::closeEvent(QCloseEvent* event) {
    if (FClosing) {
        event->accept();
        return;
    }
    TRecordingState state = State();
    if ((state == TRecordingState::Recording || state == TRecordingState::Paused) &&
        !FEndRequested) {
        FExitAsked = true;
        if (!FServices.AskExit(*this, kExitQuestion)) {
            FExitAsked = false;
            event->ignore();
            return;
        }
        state = State(); // the recording may have ended meanwhile
    }
    if (state == TRecordingState::Recording || state == TRecordingState::Paused) {
        BtnStopClick();
        state = State();
    }
    if (state != TRecordingState::Idle) {
        // The recording is saved in full first; the tray shows how far it is.
        FCloseWhenSaved = true;
        event->ignore();
        return;
    }
    FClosing = true;
    SaveSettingsOnce();
    if (FTrayIcon)
        FTrayIcon->hide();
    event->accept();
    // The windows hide to the tray, so the last window closing does not end
    // the program; closing this one does.
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
}

void TFrmMain::SaveSettingsOnce() {
    if (FSettingsSaved || !FFrmSetting)
        return;
    FSettingsSaved = true;
    try {
        SaveSetting(*FFrmSetting);
    } catch (const std::exception& error) {
        ShowError(error);
    }
}

void TFrmMain::EndOnRequest() {
    FEndRequested = true;
    FShowAdWhenSaved = false;
    EndWhenIdle();
}

// Open dialogs (the save dialog, a question) are cancelled, one after the
// other, until none is left; then the close runs from the event loop itself.
void TFrmMain::EndWhenIdle() {
    if (QWidget* modal = QApplication::activeModalWidget()) {
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
        QTimer::singleShot(20, this, &TFrmMain::EndWhenIdle);
        return;
    }
    close();
}

void TFrmMain::CheckInterruptedRecordings() {
    if (FRepairQuestion || !FFrmAVIDir || !FServices.AskRepair)
        return;
    OfferRepairInHistory(*FFrmAVIDir, FServices.Repair,
                         [this](const QString& report) { FServices.ShowNotice(*this, report); });
    FRepairQuestion = MakeQtChild<TRepairQuestion>(
        FFrmAVIDir->HistoryFilePath().parent_path(), FServices.Repair,
        [this](const QStringList& files, std::function<void(bool)> answer) {
            FServices.AskRepair(*this, files, std::move(answer));
        },
        [this](const QString& report) { FServices.ShowNotice(*this, report); }, this);
    FRepairQuestion->Start();
}

void TFrmMain::FinishBeforeQuit() {
    FShowAdWhenSaved = false;
    FCloseWhenSaved = false;
    FSession->FinishNow();
    SaveSettingsOnce();
}

bool TFrmMain::FinishAfterDisplayLoss() {
    const bool recording = FSession->Phase() != TRecordingSession::TPhase::Idle;
    // Nothing that answers the session's signals may draw: the windows are gone.
    FSession->blockSignals(true);
    FSession->FinishNow();
    if (!FSettingsSaved && FFrmSetting) {
        FSettingsSaved = true;
        try {
            SaveSetting(*FFrmSetting);
        } catch (const std::exception& error) {
            std::fprintf(stderr, "vardocle: %s\n", error.what());
        }
    }
    return recording;
}

} // namespace vardocle
