// How the main window takes commands that do not come from its own buttons:
// the global hotkeys (and which of them another program holds) and the
// commands other programs of the user send through the command socket.
#include "app/ApplicationErrors.h"
#include "app/HotKeyTable.h"
#include "app/OutputFileCheck.h"
#include "app/hotkeys/HotKeyBindings.h"
#include "app/hotkeys/HotKeyCaptions.h"
#include "app/hotkeys/KeyCaptureEdit.h"
#include "app/uFrmMain.h"
#include "platform/base/QtChild.h"
#include "skin/ImageButton.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QScopeGuard>

#include <cstdlib>

namespace vardocle {

namespace {

TCommandReply Done(const QString& message) {
    return {kCommandDone, message};
}
TCommandReply Refused(const QString& reason) {
    return {kCommandRefused, reason};
}

QString StateRefusal(TRecordingState state) {
    switch (state) {
    case TRecordingState::Idle:
        return QStringLiteral("现在没有在录制 / not recording");
    case TRecordingState::Recording:
        return QStringLiteral("正在录制 / already recording");
    case TRecordingState::Paused:
        return QStringLiteral("录制已暂停 / the recording is paused");
    case TRecordingState::Saving:
        break;
    }
    return QStringLiteral("正在保存上一个录像 / still saving the last recording");
}

} // namespace

void TFrmMain::DispatchHotKey(THotKey HotKey, std::uint16_t Index) {
    if (!FKeyBindings)
        return;
    // While a key is being chosen, the program's own keys are choices, not
    // commands: Ctrl+S pressed there must not hide the window.
    if (auto* capture = qobject_cast<TKeyCaptureEdit*>(QApplication::focusWidget())) {
        capture->Take(HotKey);
        return;
    }
    for (std::size_t row = 0; row < FKeyBindings->Keys().size(); ++row) {
        // A row without a key answers no press.
        const THotKey key = FKeyBindings->Keys()[row];
        if (key != 0 && key == HotKey && FKeyBindings->Ids()[row] == Index)
            RunHotKeyRow(row);
    }
}

void TFrmMain::RunHotKeyRow(std::size_t row) {
    switch (row) {
    case RowStart:
        if (FChoosingFile && SaveDialog1)
            ShowWindowInFront(SaveDialog1);
        if (BtnStart->isEnabled())
            BtnStartClick();
        break;
    case RowPause:
        if (ChkPause->isEnabled())
            ChkPause->Click();
        break;
    case RowResume:
        if (ChkResume->isEnabled())
            ChkResume->Click();
        break;
    case RowStop:
        if (BtnStop->isEnabled())
            BtnStopClick();
        break;
    case RowShowHide:
        if (isHidden())
            ShowWindowInFront(this);
        else
            BtnHideClick();
        break;
    case RowExit:
        if (!FChoosingFile && !FExitAsked)
            close();
        break;
    default:
        break;
    }
}

void TFrmMain::MenuQuitClick() {
    RunHotKeyRow(RowExit);
}

QStringList TFrmMain::RefusedHotKeys() const {
    return FKeyBindings ? FKeyBindings->RefusedTexts() : QStringList();
}

const std::array<std::uint16_t, 6>& TFrmMain::HotKeyIds() const {
    static const std::array<std::uint16_t, 6> none{};
    return FKeyBindings ? FKeyBindings->Ids() : none;
}

void TFrmMain::ShowHotKeys() {
    if (!FKeyBindings)
        return;
    ShowHotKeysInUse(FKeyBindings->Keys(), FKeyBindings->Refused(),
                     {{BtnStart, ChkPause, ChkResume, BtnStop, nullptr, BtnClose},
                      {MenuStart, MenuPause, MenuResume, MenuStop, nullptr, MenuQuit},
                      FFrmHelp});
}

void TFrmMain::OpenCommandChannel() {
    // Only the lock's holder may replace what lies at the socket's place:
    // without the lock another copy may be listening there.
    if (!FInstanceLock || !FInstanceLock->Held())
        return;
    const char* display = std::getenv("DISPLAY");
    FCommandChannel = MakeQtChild<TCommandChannel>(
        CommandSocketPath(QString::fromLocal8Bit(display ? display : "")),
        [this](const TCommandRequest& request, const TCommandChannel::TAnswer& answer) {
            // An error of the command is shown here as from a button, and the
            // sender learns that it was not done.
            try {
                RunCommand(request, answer);
            } catch (const std::exception& error) {
                ShowError(error);
                answer(Refused(QString::fromUtf8(error.what())));
            }
        },
        this);
}

bool TFrmMain::Closing() const {
    return FClosing || FCloseWhenSaved || FEndRequested;
}

void TFrmMain::RunCommand(const TCommandRequest& request, const TCommandChannel::TAnswer& answer) {
    if (Closing()) {
        answer(Refused(QStringLiteral("Vardocle 正在退出 / Vardocle is closing")));
        return;
    }
    const TRecordingState state = State();
    switch (request.Command) {
    case TRemoteCommand::Start:
        RunStart(request, answer);
        return;
    case TRemoteCommand::Pause:
        if (ChkPause->isEnabled())
            ChkPause->Click();
        answer(State() == TRecordingState::Paused ? Done(QStringLiteral("已暂停 / paused"))
                                                  : Refused(StateRefusal(state)));
        return;
    case TRemoteCommand::Resume:
        if (ChkResume->isEnabled())
            ChkResume->Click();
        answer(State() == TRecordingState::Recording && state == TRecordingState::Paused
                   ? Done(QStringLiteral("继续录制 / resumed"))
                   : Refused(state == TRecordingState::Recording
                                 ? QStringLiteral("录制没有暂停 / the recording is not paused")
                                 : StateRefusal(state)));
        return;
    case TRemoteCommand::Stop:
        RunStop(answer);
        return;
    case TRemoteCommand::Show:
        ShowWindowInFront(this);
        answer(Done({}));
        return;
    case TRemoteCommand::Hide:
        if (!isHidden())
            BtnHideClick();
        answer(Done({}));
        return;
    case TRemoteCommand::Quit:
        RunQuit(answer);
        return;
    }
}

void TFrmMain::RunStart(const TCommandRequest& request, const TCommandChannel::TAnswer& answer) {
    const QString& file = request.File;
    if (FChoosingFile) {
        if (SaveDialog1)
            ShowWindowInFront(SaveDialog1);
        answer(Refused(QStringLiteral("正在选择录像文件 / a file is being chosen")));
        return;
    }
    if (State() != TRecordingState::Idle) {
        answer(Refused(StateRefusal(State())));
        return;
    }
    if (file.isEmpty()) {
        if (!SetFilePath()) {
            answer(Refused(QStringLiteral("没有选择文件 / no file was chosen")));
            return;
        }
    } else {
        const TOutputPaths paths = OutputPathsFor(file);
        const QString problem = OutputFileProblem(paths.AviFileName, paths.WavFileName);
        if (!problem.isEmpty()) {
            answer(Refused(problem));
            return;
        }
        // The question about an existing file, as after the save dialog;
        // meanwhile another start is refused as during the dialog.
        FChoosingFile = true;
        bool accepted = false;
        {
            const auto choosingDone = qScopeGuard([this] { FChoosingFile = false; });
            accepted = AcceptOutputName(file);
        }
        if (!accepted) {
            FAviFileName.clear();
            FWavFileName.clear();
            answer(
                Refused(QStringLiteral("文件已经存在，没有替换 / the file exists and was kept")));
            return;
        }
    }
    FSoundForStart = request.Sound;
    FAreaForStart = request.Area;
    FSegmentForStart = request.SegmentSeconds;
    StartRecording();
    FSoundForStart.reset();
    FAreaForStart.reset();
    FSegmentForStart.reset();
    if (State() != TRecordingState::Recording) {
        answer(Refused(QStringLiteral("没有开始录制 / the recording did not start")));
        return;
    }
    // Done once the file exists; a failure to open it is told here as well
    // as in this window.
    auto* waiter = MakeQtChild<QObject>(this);
    const QString name = FAviFileName;
    connect(FSession.get(), &TRecordingSession::Started, waiter, [waiter, answer, name] {
        answer(Done(QStringLiteral("开始录制 / recording to %1").arg(name)));
        waiter->deleteLater();
    });
    connect(FSession.get(), &TRecordingSession::Failed, waiter,
            [waiter, answer](const TRecordError& error) {
                answer(Refused(QStringLiteral("无法开始录制 / the recording failed: %1")
                                   .arg(QString::fromStdString(error.Message))));
                waiter->deleteLater();
            });
}

void TFrmMain::RunStop(const TCommandChannel::TAnswer& answer) {
    const TRecordingState state = State();
    if (state != TRecordingState::Recording && state != TRecordingState::Paused) {
        answer(Refused(StateRefusal(state)));
        return;
    }
    const QString name = FAviFileName;
    // Done once the file is complete, so that the sender may use it at once.
    auto* waiter = MakeQtChild<QObject>(this);
    connect(FSession.get(), &TRecordingSession::Saved, waiter, [waiter, answer, name] {
        answer(Done(QStringLiteral("录像已保存 / saved %1").arg(name)));
        waiter->deleteLater();
    });
    BtnStopClick();
}

void TFrmMain::RunQuit(const TCommandChannel::TAnswer& answer) {
    if (FChoosingFile || FExitAsked) {
        answer(
            Refused(QStringLiteral("Vardocle 正在等待回答 / Vardocle is waiting for an answer")));
        return;
    }
    close();
    if (FClosing || FCloseWhenSaved)
        answer(Done({}));
    else
        answer(Refused(QStringLiteral("没有退出 / the user chose to stay")));
}

} // namespace vardocle
