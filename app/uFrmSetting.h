#pragma once
// The settings window: a small skinned window docked beneath the main window
// that holds the recording options while the program runs. Recording control
// reads and enables its controls directly.
#include "app/SettingStore.h"

#include <QWidget>

#include <filesystem>

class QCheckBox;
class QLabel;

namespace vardocle {

class TImageButton;
class TPictureView;
class TSizeAdvice;
class TSpinEdit;

// The primary screen's size in device pixels (what a recording captures).
QSize PrimaryScreenSize();

class TFrmSetting : public QWidget {
public:
    // Placed beneath `mainWindow` (may be null), then reads the settings
    // file. An error writing a new file is shown and the window is made all
    // the same.
    explicit TFrmSetting(QWidget* mainWindow = nullptr,
                         std::filesystem::path settingFile = SettingFileName());

    // Reads the file into the controls, or creates it with the screen's size
    // and shows that. Throws EIniFileException when it cannot be created.
    void LoadSetting();
    // The options as the controls hold them now.
    TSettingValues Values() const;
    const std::filesystem::path& SettingFile() const { return FSettingFile; }

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

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void CreateControls();
    void ApplySkin();
    void UpdateShape();
    int UnfoldedHeight() const;
    // Dragging by the caption; on release the window docks when dropped near
    // enough beneath the main window.
    bool LabCaptionMouse(QEvent* event);

    QWidget* FMainWindow;
    std::filesystem::path FSettingFile;
    bool FDragging = false;
    QPoint FDragOffset;
};

// Writes the settings window's options to its settings file (at exit).
// Throws EIniFileException when the file cannot be written.
void SaveSetting(const TFrmSetting& FrmSetting);

} // namespace vardocle
