#pragma once
// The settings window: a small skinned window docked beneath the main window
// that holds the recording options while the program runs. Recording control
// reads and enables its controls directly.
#include "app/SettingStore.h"
#include "app/area/AreaWindows.h"
#include "app/sound/SoundSetting.h"

#include <QWidget>

#include <filesystem>
#include <vector>

class QCheckBox;
class QLabel;

namespace vardocle {

class TAreaChoiceControls;
class THotKeyPage;
class TImageButton;
class TPictureView;
class TSegmentRow;
class TStorageLimitRow;
class TSizeAdvice;
class TSoundChoiceControls;
class TSpinEdit;

// The primary screen's size in device pixels (what a recording captures).
QSize PrimaryScreenSize();

class TFrmSetting : public QWidget {
public:
    // Placed beneath `mainWindow` (may be null), then reads the settings
    // file. An error writing a new file is shown and the window is made all
    // the same.
    explicit TFrmSetting(QWidget* mainWindow = nullptr,
                         std::filesystem::path settingFile = SettingFileName(),
                         TAreaWindows windows = TAreaWindows::System());

    // Reads the file into the controls, or creates it with the screen's size
    // and shows that. Throws EIniFileException when it cannot be created.
    void LoadSetting();
    // The options as the controls hold them now.
    TSettingValues Values() const;
    // What the sound is made of: the row's choice with the file's levels.
    TSoundSetting SoundSetting() const;
    // The size of what is recorded: the chosen area's, the screen's by default.
    QSize AreaSize() const;
    const std::filesystem::path& SettingFile() const { return FSettingFile; }

    // The options that cannot change while recording: the check boxes and
    // the rows beneath them (the rate has a rule of its own).
    void SetOptionsEnabled(bool Enabled);

    // Folds the window to its title bar, or unfolds it.
    void BtnHideClick();
    // Hides the window; it is shown again, never made anew.
    void BtnCloseClick();

    TPictureView* ImgTitle = nullptr;
    QLabel* LabCaption = nullptr;
    TImageButton* BtnHide = nullptr;
    TImageButton* BtnClose = nullptr;
    TPictureView* ImgFrom = nullptr;
    QCheckBox* CheckRecordCursor = nullptr;
    QCheckBox* CheckRecordThansparent = nullptr;
    QLabel* Label4 = nullptr;
    TSpinEdit* SpinRate = nullptr;
    QLabel* Label5 = nullptr;
    TSpinEdit* SpinWidth = nullptr;
    QLabel* Label6 = nullptr;
    TSpinEdit* SpinHeight = nullptr;
    // Beneath the size fields, when the size needs a word.
    TSizeAdvice* SizeAdvice = nullptr;
    // The sound row, the area row, then the hotkey rows, beneath the
    // recording options.
    TSoundChoiceControls* SoundChoice = nullptr;
    TAreaChoiceControls* AreaChoice = nullptr;
    THotKeyPage* HotKeys = nullptr;
    TSegmentRow* SegmentRow = nullptr;
    TStorageLimitRow* StorageLimitRow = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void CreateControls();
    void ApplySkin();
    // Puts `rows` beneath the body's rows and lengthens the body to hold them.
    void AppendToBody(QWidget* rows);
    void LayOutBody();
    void UpdateShape();
    int UnfoldedHeight() const;
    // Dragging by the caption; on release the window docks when dropped near
    // enough beneath the main window.
    bool LabCaptionMouse(QEvent* event);

    QWidget* FMainWindow;
    int FBodyHeight = 154;       // below the title when unfolded
    std::vector<QWidget*> FRows; // beneath the recording options, in order
    std::filesystem::path FSettingFile;
    TSoundSetting FSoundSetting;
    bool FDragging = false;
    QPoint FDragOffset;
};

// Writes the settings window's options to its settings file (at exit).
// Throws EIniFileException when the file cannot be written.
void SaveSetting(const TFrmSetting& FrmSetting);

} // namespace vardocle
