#pragma once
// The exit question shown when the user closes the program during a recording.
#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;

namespace vardocle {

class TFrmAskExit : public QDialog {
    Q_OBJECT
public:
    explicit TFrmAskExit(QWidget* centerOn = nullptr);
    // Shows `message` whole: where its lines need more height than the
    // label has at the installed fonts, the label, the buttons and the
    // window grow by what is missing.
    void SetMessage(const QString& message);
    QLabel* LblMsg = nullptr;
    QLabel* ImgIco = nullptr;
    QPushButton* BtnYes = nullptr;
    QPushButton* BtnNo = nullptr;
};

// Asks `message`; true when the answer is Yes.
bool AskExit(const QString& message, QWidget* centerOn = nullptr);

} // namespace vardocle
