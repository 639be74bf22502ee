#pragma once
// The help window: the six hotkeys, what the settings mean, and a button that
// opens the help page beside the executable. Created once; closing hides it.
#include <QDialog>
#include <QString>

#include <array>
#include <filesystem>

class QGroupBox;
class QLabel;
class QPushButton;

namespace vardocle {

// Help/Help.htm in the folder of the running executable, whatever the
// working folder is.
std::filesystem::path HelpPagePath();

class TFrmHelp : public QDialog {
    Q_OBJECT
public:
    // Centred on `mainWindow` (which may be null) each time it is shown.
    explicit TFrmHelp(QWidget* mainWindow);

    // The settings explanation; its runs of spaces push each sentence to a
    // new line of the 336-pixel label.
    static QString SettingsText();

    QGroupBox* GroupBox1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QLabel* Label7 = nullptr;
    QPushButton* BtnHow = nullptr;
    QPushButton* BtnKnow = nullptr;

    // Names the hotkeys in use ("Alt + 1", "无"), in the order start, pause,
    // resume, stop, show/hide, quit; strikes out those another program holds
    // and says what to do instead.
    void ShowHotKeys(const std::array<QString, 6>& keys, const std::array<bool, 6>& refused);

    void BtnHowClick();
    void BtnKnowClick();
};

} // namespace vardocle
