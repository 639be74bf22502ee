#pragma once
// The program's home: the skinned strip with the recording buttons, the tray
// icon with its menu, the six global hotkeys, hiding and showing with the
// docked settings window, and the recording commands with their state.
#include "app/CommandChannel.h"
#include "app/MainWindowServices.h"
#include "app/RecordingSession.h"
#include "app/RecordingState.h"
#include "app/RepairQuestion.h"
#include "app/uFrmSetting.h"
#include "engine/RecordThread.h"
#include "history/uFrmAviDir.h"
#include "hotkeys/HotKeyManager.h"
#include "platform/shell/InstanceLock.h"
#include "services/uFrmAD.h"
#include "services/uFrmAbout.h"
#include "services/uFrmHelp.h"

#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <array>
#include <memory>
#include <optional>

class QAction;
class QFileDialog;
class QLabel;
class QMenu;
class QSystemTrayIcon;
class QTimer;

namespace vardocle {

class THotKeyBindings;
class TAreaOutline;
class TImageButton;
class TImageCheckButton;
class TTrayStatus;
class TImageManager;
class TLowDiskGuard;
class TStorageLimitGuard;
class TRecordingTimer;
struct TRecordingSchedule;
class TPictureView;

class TFrmMain : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 242;
    static constexpr int kHeight = 89;

    explicit TFrmMain(TMainWindowServices services = TMainWindowServices::System());
    ~TFrmMain() override;

    // The other windows, made after this one (the settings window last, so
    // that it can place itself beneath this one).
    void SetWindows(TFrmHelp* help, TFrmAbout* about, TFrmAD* ad, TFrmAVIDir* aviDir,
                    TFrmSetting* setting);

    // True when another copy runs on this desktop: this one registers
    // nothing and adds no icon, and the program ends at once.
    bool SecondCopy() const { return FSecondCopy; }
    TRecordingState State() const;

    // Recording control.
    bool SetFilePath();
    void BtnStartClick();
    void ChkPauseClick();
    void ChkResumeClick();
    void BtnStopClick();
    void BtnVoiceClick();

    // Window commands.
    void BtnHideClick();
    void BtnCloseClick();
    void BtnSettingClick();
    void ImageButton1Click();
    void BtnHistoryClick();
    void ButtonAboutClick();
    void MenuMornClick();
    void MenuQuitClick();
    // "定时录制…": sets, changes or cancels the recording on a timer.
    void MenuTimerClick();
    TRecordingTimer* RecordingTimer() const { return FRecordingTimer; }
    void DispatchHotKey(THotKey HotKey, std::uint16_t Index);
    // A command from `vardocle --command`: does what its button, menu item or
    // hotkey does, and answers whether it was done.
    void RunCommand(const TCommandRequest& request, const TCommandChannel::TAnswer& answer);
    // The hotkeys another program holds, as "Alt+1".
    QStringList RefusedHotKeys() const;
    TCommandChannel* CommandChannel() const { return FCommandChannel; }
    void TimerUpdataTimer();

    // The program is asked to end (a signal): a recording is finished as
    // Stop does, without a question, then the settings are saved and the
    // program ends. Open dialogs are cancelled first.
    void EndOnRequest();
    // The program ends now (the desktop session ends, or the event loop has
    // stopped): a recording is finished here before returning, and the
    // settings are saved.
    void FinishBeforeQuit();
    // The display went away: a recording is finished without touching it,
    // the settings are saved, problems go to stderr. True when a recording was saved.
    bool FinishAfterDisplayLoss();
    // Asks about recordings a killed program left incomplete, once at start-up.
    void CheckInterruptedRecordings();
    TRepairQuestion* RepairQuestion() const { return FRepairQuestion; }

    const QString& AviFileName() const { return FAviFileName; }
    const QString& WavFileName() const { return FWavFileName; }
    bool ChoosingFile() const { return FChoosingFile; }
    bool ExitAsked() const { return FExitAsked; }
    bool SettingWasVisible() const { return FSettingWasVisible; }
    const std::array<std::uint16_t, 6>& HotKeyIds() const;
    THotKeyManager* HotKeys() const { return FHotKeys; }
    THotKeyBindings* HotKeyBindings() const { return FKeyBindings; }
    TTrayStatus* TrayStatus() const { return FTrayStatus; }
    const TRecordingSession& Session() const { return *FSession; }
    QSystemTrayIcon* TrayIcon() const { return FTrayIcon; }
    TFrmSetting* FrmSetting() const { return FFrmSetting; }

    // The open save dialog (while ChoosingFile), for Alt+1 to bring it forward.
    QPointer<QFileDialog> SaveDialog1;

    TPictureView* ImgBck = nullptr;
    QLabel* LabCaption = nullptr;
    TImageButton* BtnStart = nullptr;
    TImageCheckButton* ChkPause = nullptr;
    TImageCheckButton* ChkResume = nullptr;
    TImageButton* BtnStop = nullptr;
    TImageButton* BtnVoice = nullptr;
    TImageButton* BtnHistory = nullptr;
    TImageButton* BtnSetting = nullptr;
    TImageButton* ImageButton1 = nullptr;
    TImageButton* BtnHide = nullptr;
    TImageButton* BtnClose = nullptr;
    TImageManager* VoiceCheckTrue = nullptr;
    TImageManager* VoiceCheckFalse = nullptr;
    QMenu* TrayMenu = nullptr;
    QAction* MenuAbout = nullptr;
    QAction* MenuMorn = nullptr;
    QAction* MenuStart = nullptr;
    QAction* MenuPause = nullptr;
    QAction* MenuResume = nullptr;
    QAction* MenuStop = nullptr;
    QAction* MenuTimer = nullptr;
    QAction* MenuQuit = nullptr;
    QTimer* TimerUpdata = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void CreateControls();
    void CreateTrayIcon();
    void RegisterHotKeys();
    // Names the hotkeys in use on the buttons, the menu and the help window.
    void ShowHotKeys();
    void RunHotKeyRow(std::size_t row);
    void OpenCommandChannel();
    // True once the program is ending: commands are refused then.
    bool Closing() const;
    void RunStart(const TCommandRequest& request, const TCommandChannel::TAnswer& answer);
    void RunStop(const TCommandChannel::TAnswer& answer);
    void RunQuit(const TCommandChannel::TAnswer& answer);
    // Takes the chosen name for the next recording; asks before replacing a
    // file. False when the user keeps the old file.
    bool AcceptOutputName(const QString& chosen);
    void StartRecording();
    void ApplyControlStates(TRecordingState state);
    void SetTrayTip(TRecordingState state);
    // Long recordings (a new file every so many minutes) and the low-disk watch.
    void ConnectSegments();
    void BeginRecording(std::unique_ptr<TRecordThread> thread, std::unique_ptr<TWavRecord> sound);
    void StopDiskWatch();
    // Recordings on a timer; the start at its time, false when it did not start.
    void ConnectTimer();
    bool StartOnTimer(const TRecordingSchedule& schedule);
    QString SegmentTip(TRecordingState state) const;
    // The limit on the space recordings take: the question of its row, and
    // the oldest recordings deleted when a new file has started.
    void ConnectStorageLimit();
    void EnforceStorageLimit();
    std::unique_ptr<TWavRecord> StartSound(std::shared_ptr<const TRecordStart> start);
    // The settings window's sound, or what the command that starts asked for.
    TSoundSetting SoundForStart() const;
    // The area the next recording shows (the command's, else the settings
    // window's), a pick form chosen now; none, with the user told why, when
    // it is not wholly on the screen. A command's area sets `size` to its own.
    std::optional<TCaptureArea> AreaForStart(QSize& size);
    // The frame around a region or window while it is recorded.
    void ShowAreaOutline(const TCaptureArea& area);
    // The recorded window closed, or part of the area left the screen: said
    // in the tray (or a box without one).
    void TellAboutScreen(const QString& message);
    // The screen for a recording of `area`, its notices told on this
    // window's thread; null once the user has been told why there is none.
    std::unique_ptr<IScreen> ScreenForArea(const TCaptureArea& area);
    void RecordStarted();
    void RecordFailed(const TRecordError& error);
    void RecordSaved();
    void ShowSavingProgress(int percent);
    void EndWhenIdle();
    void SaveSettingsOnce();
    void ShowWindowInFront(QWidget* window);

    TMainWindowServices FServices;
    std::unique_ptr<TInstanceLock> FInstanceLock;
    bool FSecondCopy = false;

    QString FWavFileName;
    QString FAviFileName;
    QString FLastChosenName;
    std::unique_ptr<TRecordingSession> FSession;
    // The chosen file replaces one: its old history entry goes once the new
    // recording has started, not before.
    bool FReplacing = false;
    // Once the recording is saved: end the program, show the advertisement.
    bool FCloseWhenSaved = false;
    bool FShowAdWhenSaved = false;
    bool FEndRequested = false;
    bool FSettingsSaved = false;
    THotKeyManager* FHotKeys = nullptr;
    TRepairQuestion* FRepairQuestion = nullptr;
    THotKeyBindings* FKeyBindings = nullptr;
    bool FExitAsked = false;
    bool FChoosingFile = false;
    std::optional<TSoundChoice> FSoundForStart; // set by a command for its start only
    std::optional<TCaptureArea> FAreaForStart;  // likewise
    std::unique_ptr<TAreaOutline> FAreaOutline;
    std::optional<std::int64_t> FSegmentForStart; // seconds per file, likewise
    bool FSettingWasVisible = false;
    bool FClosing = false;
    QSystemTrayIcon* FTrayIcon = nullptr;
    TTrayStatus* FTrayStatus = nullptr;
    TLowDiskGuard* FLowDisk = nullptr;
    TStorageLimitGuard* FStorageLimit = nullptr;
    TRecordingTimer* FRecordingTimer = nullptr;
    TCommandChannel* FCommandChannel = nullptr;

    QPoint FDragOffset;
    bool FDragging = false;

    // The other windows may go before this one does.
    QPointer<TFrmHelp> FFrmHelp;
    QPointer<TFrmAbout> FFrmAbout;
    QPointer<TFrmAD> FFrmAD;
    QPointer<TFrmAVIDir> FFrmAVIDir;
    QPointer<TFrmSetting> FFrmSetting;
};

} // namespace vardocle
