#include "app/uFrmMain.h"

#include "app/area/AreaChoiceControls.h"
#include "app/area/AreaOutline.h"
#include "app/sound/SoundChoiceControls.h"

#include "app/ApplicationErrors.h"
#include "app/HotKeyTable.h"
#include "app/PictureView.h"
#include "app/RecordingNotices.h"
#include "app/SettingPlacement.h"
#include "app/SpinEdit.h"
#include "app/hotkeys/HotKeyBindings.h"
#include "app/hotkeys/HotKeyCaptions.h"
#include "app/hotkeys/HotKeyPage.h"
#include "app/hotkeys/StartBalloon.h"
#include "app/tray/TrayStatus.h"
#include "app/uFrmSetting.h"
#include "assets/Assets.h"
#include "engine/SoundHandOff.h"
#include "history/HistoryMessages.h"
#include "history/uFrmAviDir.h"
#include "hotkeys/HotKeyText.h"
#include "hotkeys/HotKeyValue.h"
#include "platform/base/QtChild.h"
#include "platform/base/Text.h"
#include "platform/base/UserFilesFolder.h"
#include "services/SiteAddresses.h"
#include "services/uFrmAD.h"
#include "services/uFrmAbout.h"
#include "services/uFrmHelp.h"
#include "skin/ColorKeyMask.h"
#include "skin/ImageButton.h"
#include "skin/StoredPictures.h"

#include <QAction>
#include <QApplication>
#include <QBitmap>
#include <QCursor>
#include <QFileDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QSystemTrayIcon>
#include <QTimer>

#include <filesystem>

namespace vardocle {

namespace {

// The window's background; pixels of exactly this colour are see-through.
const QColor kTransparentKey(54, 99, 81);
const QColor kButtonCaptionColour(194, 241, 235);

constexpr int kPauseCheckGroup = 1;

} // namespace

TFrmMain::TFrmMain(TMainWindowServices services)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), FServices(std::move(services)),
      FSession(std::make_unique<TRecordingSession>()) {
    setWindowTitle(QStringLiteral("Vardocle"));
    setFixedSize(kWidth, kHeight);
    move(563, 216);
    setFont(PixelFont(QStringLiteral("新宋体"), 12));
    connect(FSession.get(), &TRecordingSession::Started, this, &TFrmMain::RecordStarted);
    connect(FSession.get(), &TRecordingSession::Failed, this, &TFrmMain::RecordFailed);
    connect(FSession.get(), &TRecordingSession::Saved, this, &TFrmMain::RecordSaved);
    ConnectSegments();
    connect(FSession.get(), &TRecordingSession::DiskFullEnded, this,
            [this](const QString& message) { FServices.ShowNotice(*this, message); });
    connect(FSession.get(), &TRecordingSession::ScreenGone, this, &TFrmMain::TellAboutScreen);
    connect(FSession.get(), &TRecordingSession::SavingProgressChanged, this,
            &TFrmMain::ShowSavingProgress);
    CreateControls();
    FormCreate();
}

TFrmMain::~TFrmMain() {
    // A recording still running when the window goes is finished, not cut.
    FShowAdWhenSaved = false;
    FSession->FinishNow();
}

void TFrmMain::CreateControls() {
    InitAssets();
    ImgBck = MakeQtChild<TPictureView>(this);
    ImgBck->setGeometry(2, 0, 240, 89);
    const QImage background = LoadPicture(QStringLiteral(":/skin/main/Background.pic"));
    ImgBck->SetPicture(background);
    // The window's shape: the background picture where it lies, nothing elsewhere.
    if (!background.isNull())
        setMask(ShapeOfPictures(QSize(kWidth, kHeight), kTransparentKey,
                                {{QRect({2, 0}, background.size()), background}}));

    LabCaption = MakeQtChild<QLabel>(QStringLiteral("  Vardocle"), this);
    LabCaption->setGeometry(0, 0, 233, 25);
    LabCaption->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    LabCaption->setAttribute(Qt::WA_TranslucentBackground);
    LabCaption->setStyleSheet(
        QStringLiteral("color: rgb(198, 223, 228); background: transparent;"));
    LabCaption->installEventFilter(this);

    auto large = [](TImageCtrl* button, int left, const QString& caption, const QString& hint,
                    const QString& picture) {
        button->setGeometry(left, 33, 31, 48);
        button->SetGlyphLayout(glTop);
        button->SetCaption(caption);
        button->SetFontColor(kButtonCaptionColour);
        button->SetHint(hint);
        if (!picture.isEmpty())
            LoadButtonPicture(*button, picture);
    };
    BtnStart = MakeQtChild<TImageButton>(this);
    large(BtnStart, 9, QStringLiteral("录制"), QStringLiteral("热键(Alt+1)"),
          QStringLiteral(":/skin/main/BtnStart.pic"));
    ChkPause = MakeQtChild<TImageCheckButton>(this);
    large(ChkPause, 48, QStringLiteral("暂停"), QStringLiteral("热键(Alt+2)"),
          QStringLiteral(":/skin/main/ChkPause.pic"));
    ChkResume = MakeQtChild<TImageCheckButton>(this);
    large(ChkResume, 87, QStringLiteral("继续"), QStringLiteral("热键(Alt+3)"),
          QStringLiteral(":/skin/main/ChkResume.pic"));
    ChkPause->SetCheckGroup(kPauseCheckGroup);
    ChkResume->SetCheckGroup(kPauseCheckGroup);
    BtnStop = MakeQtChild<TImageButton>(this);
    large(BtnStop, 126, QStringLiteral("停止"), QStringLiteral("热键(Alt+4)"),
          QStringLiteral(":/skin/main/BtnStop.pic"));
    VoiceCheckTrue = MakeQtChild<TImageManager>(this);
    LoadManagerPicture(*VoiceCheckTrue, QStringLiteral(":/skin/main/VoiceCheckTrue.pic"));
    VoiceCheckFalse = MakeQtChild<TImageManager>(this);
    LoadManagerPicture(*VoiceCheckFalse, QStringLiteral(":/skin/main/VoiceCheckFalse.pic"));
    BtnVoice = MakeQtChild<TImageButton>(this);
    large(BtnVoice, 165, QStringLiteral("录音"), QString(), QString());
    BtnVoice->SetImageManager(VoiceCheckTrue);
    BtnHistory = MakeQtChild<TImageButton>(this);
    large(BtnHistory, 204, QStringLiteral("历史"), QString(),
          QStringLiteral(":/skin/main/BtnHistory.pic"));

    auto small = [](TImageButton* button, QRect geometry, const QString& picture) {
        button->setGeometry(geometry);
        LoadButtonPicture(*button, picture);
    };
    BtnSetting = MakeQtChild<TImageButton>(this);
    small(BtnSetting, {143, 4, 20, 17}, QStringLiteral(":/skin/main/BtnSetting.pic"));
    ImageButton1 = MakeQtChild<TImageButton>(this);
    small(ImageButton1, {161, 4, 20, 17}, QStringLiteral(":/skin/main/BtnHelp.pic"));
    BtnHide = MakeQtChild<TImageButton>(this);
    small(BtnHide, {185, 2, 25, 20}, QStringLiteral(":/skin/main/BtnHide.pic"));
    BtnClose = MakeQtChild<TImageButton>(this);
    small(BtnClose, {210, 2, 25, 20}, QStringLiteral(":/skin/main/BtnClose.pic"));
    BtnClose->SetHint(QStringLiteral("热键:Alt+Q"));

    BtnStart->OnClick = [this](QObject*) { BtnStartClick(); };
    ChkPause->OnClick = [this](QObject*) { ChkPauseClick(); };
    ChkResume->OnClick = [this](QObject*) { ChkResumeClick(); };
    BtnStop->OnClick = [this](QObject*) { BtnStopClick(); };
    BtnVoice->OnClick = [this](QObject*) { BtnVoiceClick(); };
    BtnHistory->OnClick = [this](QObject*) { BtnHistoryClick(); };
    BtnSetting->OnClick = [this](QObject*) { BtnSettingClick(); };
    ImageButton1->OnClick = [this](QObject*) { ImageButton1Click(); };
    BtnHide->OnClick = [this](QObject*) { BtnHideClick(); };
    BtnClose->OnClick = [this](QObject*) { BtnCloseClick(); };

    TrayMenu = MakeQtChild<QMenu>(this);
    MenuAbout =
        TrayMenu->addAction(QStringLiteral("关于本程序 (&A)"), this, &TFrmMain::ButtonAboutClick);
    MenuAbout->setVisible(false);
    MenuMorn =
        TrayMenu->addAction(QStringLiteral("官  网  链  接"), this, &TFrmMain::MenuMornClick);
    TrayMenu->addSeparator();
    MenuStart =
        TrayMenu->addAction(QStringLiteral("录制 (Alt + 1)"), this, &TFrmMain::BtnStartClick);
    MenuPause =
        TrayMenu->addAction(QStringLiteral("暂停 (Alt + 2)"), this, &TFrmMain::ChkPauseClick);
    MenuResume =
        TrayMenu->addAction(QStringLiteral("继续 (Alt + 3)"), this, &TFrmMain::ChkResumeClick);
    MenuStop = TrayMenu->addAction(QStringLiteral("结束 (Alt + 4)"), this, &TFrmMain::BtnStopClick);
    TrayMenu->addSeparator();
    MenuQuit =
        TrayMenu->addAction(QStringLiteral("退出 (Alt + Q)"), this, &TFrmMain::MenuQuitClick);

    TimerUpdata = MakeQtChild<QTimer>(this);
    TimerUpdata->setInterval(5000);
    connect(TimerUpdata, &QTimer::timeout, this, &TFrmMain::TimerUpdataTimer);

    ApplyControlStates(TRecordingState::Idle);
}

void TFrmMain::FormCreate() {
    const char* display = std::getenv("DISPLAY");
    FInstanceLock = std::make_unique<TInstanceLock>("is run now", display ? display : "");
    if (FInstanceLock->AlreadyRunning()) {
        FSecondCopy = true;
        return;
    }
    RegisterHotKeys();
    CreateTrayIcon();
    OpenCommandChannel();
    ConnectTimer();
    BtnVoice->SetChecked(true);
    TimerUpdata->start();
}

void TFrmMain::RegisterHotKeys() {
    FHotKeys = MakeQtChild<THotKeyManager>(this);
    FKeyBindings =
        MakeQtChild<THotKeyBindings>(*FHotKeys, LoadHotKeySettings(SettingFileName()), this);
    connect(FKeyBindings, &THotKeyBindings::Changed, this, &TFrmMain::ShowHotKeys);
    // Presses arrive inside the desktop's event filter, which no error may
    // leave (it would end the program): an error of the command goes to the
    // application's error display, as it does from a button.
    FHotKeys->OnHotKeyPressed = [this](THotKey hotKey, std::uint16_t index) {
        try {
            DispatchHotKey(hotKey, index);
        } catch (const std::exception& error) {
            ShowError(error);
        } catch (...) {
            ShowErrorMessage(QStringLiteral("未知错误"));
        }
    };
}

void TFrmMain::CreateTrayIcon() {
    FTrayIcon =
        MakeQtChild<QSystemTrayIcon>(QIcon(QStringLiteral(":/icons/vardocle-32.png")), this);
    FTrayIcon->setContextMenu(TrayMenu);
    SetTrayTip(TRecordingState::Idle);
    connect(FTrayIcon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger)
                    ShowWindowInFront(this);
            });
    // Without a tray on the desktop nothing shows; Qt adds the icon by itself
    // should a tray appear later.
    FTrayIcon->show();
    FTrayStatus = MakeQtChild<TTrayStatus>(FTrayIcon, FServices.ShowFileInFolder, this);
    ShowStartBalloon(*FTrayStatus, *FKeyBindings, SettingFileName());
}

void TFrmMain::SetWindows(TFrmHelp* help, TFrmAbout* about, TFrmAD* ad, TFrmAVIDir* aviDir,
                          TFrmSetting* setting) {
    FFrmHelp = help;
    FFrmAbout = about;
    FFrmAD = ad;
    FFrmAVIDir = aviDir;
    FFrmSetting = setting;
    if (FFrmSetting) {
        TrayMenu->insertMenu(MenuQuit, FFrmSetting->SoundChoice->Menu());
        TrayMenu->insertMenu(MenuQuit, FFrmSetting->AreaChoice->Menu());
    }
    ConnectStorageLimit();
    ApplyControlStates(State());
    if (FFrmSetting && FKeyBindings)
        FFrmSetting->HotKeys->Attach(FKeyBindings);
    ShowHotKeys();
}

TRecordingState TFrmMain::State() const {
    switch (FSession->Phase()) {
    case TRecordingSession::TPhase::Idle:
        return TRecordingState::Idle;
    case TRecordingSession::TPhase::Recording:
        return TRecordingState::Recording;
    case TRecordingSession::TPhase::Paused:
        return TRecordingState::Paused;
    case TRecordingSession::TPhase::Saving:
        break;
    }
    return TRecordingState::Saving;
}

void TFrmMain::ApplyControlStates(TRecordingState state) {
    const TControlStates states = ControlStatesFor(state);
    BtnStart->setEnabled(states.Start);
    MenuStart->setEnabled(states.Start);
    BtnStop->setEnabled(states.Stop);
    MenuStop->setEnabled(states.Stop);
    ChkPause->setEnabled(states.Pause);
    MenuPause->setEnabled(states.Pause);
    ChkResume->setEnabled(states.Resume);
    MenuResume->setEnabled(states.Resume);
    BtnVoice->setEnabled(states.Voice);
    // Its look follows its checked state again once it is enabled.
    BtnVoice->SetChecked(BtnVoice->Checked());
    if (FTrayStatus)
        FTrayStatus->SetState(state);
    if (FFrmSetting) {
        FFrmSetting->SpinRate->setEnabled(states.Rate);
        FFrmSetting->SetOptionsEnabled(states.Options);
    }
    if (state != TRecordingState::Recording && state != TRecordingState::Paused)
        FAreaOutline.reset();
}

void TFrmMain::SetTrayTip(TRecordingState state) {
    if (FTrayIcon)
        FTrayIcon->setToolTip(TrayTipFor(state) + SegmentTip(state));
}

// ---- Recording control --------------------------------------------------------

bool TFrmMain::SetFilePath() {
    if (FChoosingFile)
        return false;
    FChoosingFile = true;
    // Cleared however the choice ends, an error included: a flag left set
    // would refuse every later Start.
    struct TChoosingDone {
        bool& Flag;
        ~TChoosingDone() { Flag = false; }
    } choosingDone{FChoosingFile};
    const QString initial = FLastChosenName.isEmpty() ? kFirstOutputName : FLastChosenName;
    FReplacing = false;
    for (QString offer = initial;;) {
        const std::optional<QString> chosen = FServices.ChooseFile(*this, offer);
        if (!chosen || chosen->isEmpty())
            return false;
        offer = *chosen;
        if (AcceptOutputName(*chosen))
            return true;
    }
}

bool TFrmMain::AcceptOutputName(const QString& chosen) {
    FLastChosenName = chosen;
    const TOutputPaths paths = OutputPathsFor(chosen);
    FAviFileName = paths.AviFileName;
    FWavFileName = paths.WavFileName;
    std::error_code ignored;
    FReplacing = std::filesystem::exists(EncodeSystem(FAviFileName), ignored) ||
                 std::filesystem::exists(EncodeSystem(FWavFileName), ignored);
    return !FReplacing || FServices.AskOverwrite(*this);
}

void TFrmMain::BtnStartClick() {
    if (SetFilePath())
        StartRecording();
}

void TFrmMain::StartRecording() {
    if (State() != TRecordingState::Idle)
        return;
    TSettingValues options;
    if (FFrmSetting)
        options = FFrmSetting->Values();
    QSize size(options.Width, options.Height);
    const std::optional<TCaptureArea> area = AreaForStart(size);
    if (!area) {
        FAviFileName.clear();
        FWavFileName.clear();
        return;
    }
    const TRect rect{0, 0, size.width(), size.height()};

    std::unique_ptr<IScreen> screen = ScreenForArea(*area);
    if (!screen) {
        FAviFileName.clear();
        FWavFileName.clear();
        return;
    }
    auto thread = std::make_unique<TRecordThread>(
        EncodeSystem(FAviFileName), rect, EncodeSystem(FWavFileName),
        static_cast<std::uint8_t>(options.Rate), std::move(screen), FSession->Invoker());
    thread->SetRecordCursor(options.RecordCursor);
    thread->SetRecordTransparent(options.RecordTrans);

    std::unique_ptr<TWavRecord> sound;
    if (BtnVoice->Checked() && SoundForStart().Choice != TSoundChoice::None) {
        sound = StartSound(thread->RecordStart());
        if (!sound) {
            // The thread was never resumed: nothing was written.
            FAviFileName.clear();
            FWavFileName.clear();
            return;
        }
    }
    BeginRecording(std::move(thread), std::move(sound));
    SetTrayTip(TRecordingState::Recording);
    ApplyControlStates(TRecordingState::Recording);
    ShowAreaOutline(*area);
}

// The video file exists: only now is the recording entered into the history
// (and the entry of a file it replaces removed), so a recording that never
// started changes nothing there. A failure is told without a modal box, which
// would hold up everything behind it.
void TFrmMain::RecordStarted() {
    // Without a folder for the history the user was told once at start-up.
    if (!FFrmAVIDir || !UserFiles().Usable())
        return;
    try {
        const std::string path = EncodeSystem(FAviFileName);
        HistoryRepair repair;
        if (FReplacing)
            repair = FFrmAVIDir->DelSamePath(path);
        FReplacing = false;
        repair.DroppedTailBytes += FFrmAVIDir->History().AppendHistoryRecord(path).DroppedTailBytes;
        const QString notice = HistoryRepairNotice(repair);
        if (!notice.isEmpty())
            FServices.ShowNotice(*this, notice);
    } catch (const std::exception& error) {
        FServices.ShowNotice(*this, HistoryErrorText(error));
    }
    EnforceStorageLimit();
}

void TFrmMain::RecordFailed(const TRecordError& error) {
    // A frame that failed: the session is ending the recording as Stop does,
    // sound first.
    if (error.Stage == TRecordError::TStage::Frame)
        FShowAdWhenSaved = false;
    const QString notice = RecordFailedNotice(error, FAviFileName, FWavFileName);
    if (!notice.isEmpty())
        FServices.ShowNotice(*this, notice);
    ApplyControlStates(State());
    if (State() == TRecordingState::Saving)
        ShowSavingProgress(FSession->SavingProgress());
}

void TFrmMain::ChkPauseClick() {
    if (State() != TRecordingState::Recording)
        return;
    FSession->Pause();
    SetTrayTip(TRecordingState::Paused);
    ApplyControlStates(TRecordingState::Paused);
}

void TFrmMain::ChkResumeClick() {
    if (State() != TRecordingState::Paused)
        return;
    FSession->Resume();
    SetTrayTip(TRecordingState::Recording);
    ApplyControlStates(TRecordingState::Recording);
}

// Returns at once: the file is completed off this thread, and the window
// goes back to idle when it is saved (RecordSaved).
void TFrmMain::BtnStopClick() {
    const TRecordingState state = State();
    if (state != TRecordingState::Recording && state != TRecordingState::Paused)
        return;
    FShowAdWhenSaved = true;
    FSession->Stop();
    ChkPause->SetChecked(false);
    ChkResume->SetChecked(false);
    ApplyControlStates(TRecordingState::Saving);
    ShowSavingProgress(FSession->SavingProgress());
}

void TFrmMain::ShowSavingProgress(int percent) {
    if (State() != TRecordingState::Saving)
        return;
    if (FTrayIcon)
        FTrayIcon->setToolTip(SavingTrayTip(percent));
    LabCaption->setText(QStringLiteral("  ") + SavingText(percent));
}

void TFrmMain::RecordSaved() {
    StopDiskWatch();
    ChkPause->SetChecked(false);
    ChkResume->SetChecked(false);
    ApplyControlStates(TRecordingState::Idle);
    SetTrayTip(TRecordingState::Idle);
    if (FTrayStatus && !FCloseWhenSaved)
        FTrayStatus->ShowSaved(FAviFileName);
    LabCaption->setText(QStringLiteral("  Vardocle"));
    if (FShowAdWhenSaved && !FCloseWhenSaved && FFrmAD)
        FFrmAD->ShowInFront();
    FShowAdWhenSaved = false;
    FReplacing = false;
    FAviFileName.clear();
    FWavFileName.clear();
    if (FCloseWhenSaved)
        QTimer::singleShot(0, this, [this] { close(); });
}

void TFrmMain::BtnVoiceClick() {
    const bool checked = !BtnVoice->Checked();
    BtnVoice->SetChecked(checked);
    BtnVoice->SetImageManager(checked ? VoiceCheckTrue : VoiceCheckFalse);
}

// ---- Window commands -------------------------------------------------------------

void TFrmMain::BtnHideClick() {
    if (FTrayStatus)
        FTrayStatus->ShowBalloon(HideBalloonText(FKeyBindings->Keys()[RowShowHide]));
    hide();
    FSettingWasVisible = FFrmSetting && FFrmSetting->isVisible();
    if (FFrmSetting)
        FFrmSetting->hide();
}

void TFrmMain::BtnCloseClick() {
    close();
}
void TFrmMain::BtnSettingClick() {
    ShowWindowInFront(FFrmSetting);
}
void TFrmMain::ImageButton1Click() {
    ShowWindowInFront(FFrmHelp);
}
void TFrmMain::BtnHistoryClick() {
    ShowWindowInFront(FFrmAVIDir);
}
void TFrmMain::ButtonAboutClick() {
    ShowWindowInFront(FFrmAbout);
}
void TFrmMain::MenuMornClick() {
    OpenHomePage();
}

void TFrmMain::ShowWindowInFront(QWidget* window) {
    if (!window)
        return;
    window->show();
    window->raise();
    window->activateWindow();
}

void TFrmMain::TimerUpdataTimer() {
    // Off first: the check runs once per start, also when it fails.
    TimerUpdata->stop();
    if (FFrmAD)
        FFrmAD->ShowInFront();
    const std::string address = UpdateDescriptionAddress();
    FServices.DoUpdate(this, address.c_str());
}

// ---- Events ------------------------------------------------------------------------

void TFrmMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (FFrmSetting)
        FFrmSetting->setVisible(FSettingWasVisible);
}

void TFrmMain::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    if (event->key() == Qt::Key_F1) {
        ShowWindowInFront(FFrmHelp);
        return;
    }
    QWidget::keyPressEvent(event);
}

void TFrmMain::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    // A settings window docked beneath (or anywhere higher) follows.
    if (FFrmSetting && FFrmSetting->y() < y() + height() + kSettingSnapDistance)
        FFrmSetting->move(SettingPositionBeneath(geometry()));
}

// Dragging by the caption; the top never goes above the screen.
bool TFrmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched != LabCaption)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton) {
            FDragging = true;
            FDragOffset = mouse->globalPosition().toPoint() - pos();
            return true;
        }
        break;
    }
    case QEvent::MouseMove:
        if (FDragging) {
            move(static_cast<QMouseEvent*>(event)->globalPosition().toPoint() - FDragOffset);
            return true;
        }
        break;
    case QEvent::MouseButtonRelease:
        if (FDragging) {
            FDragging = false;
            if (y() < 0)
                move(x(), 0);
            return true;
        }
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace vardocle
