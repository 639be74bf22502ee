#pragma once
// The About window: the program's name, version and publisher. Created once;
// closing hides it.
#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

namespace vardocle {

class TFrmAbout : public QDialog {
    Q_OBJECT
public:
    // Centred on `mainWindow` (which may be null) each time it is shown.
    explicit TFrmAbout(QWidget* mainWindow);

    QFrame* Panel1 = nullptr;
    QLabel* ProgramIcon = nullptr;
    QLabel* StaticText1 = nullptr;
    QLabel* Version = nullptr;
    QLabel* Copyright = nullptr;
    QLabel* Company = nullptr;
    QLabel* WebAddress = nullptr;
    // Where the settings and the history are kept.
    QLabel* FilesFolder = nullptr;
    QPushButton* OKButton = nullptr;

    void OKButtonClick();
};

} // namespace vardocle
