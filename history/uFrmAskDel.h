#pragma once
// The question asked before a history entry is removed: Yes, All, No or
// Cancel, and whether the recording's file goes too.
#include "history/ClickLabel.h"

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QString>

namespace vardocle {

enum class TAskDeleteAnswer { None, Yes, All, No, Cancel };

struct TAskDeleteResult {
    TAskDeleteAnswer Answer = TAskDeleteAnswer::Cancel;
    bool DeleteFileToo = false;
};

class TFrmAskDel : public QDialog {
    Q_OBJECT
public:
    static constexpr int kDesignedWidth = 393;
    static constexpr int kDesignedHeight = 90;

    explicit TFrmAskDel(QWidget* owner = nullptr);

    // Shows the question and fits the dialog to it.
    void SetQuestion(const QString& message, const QString& title);

    // Cancel until a button is pressed; closing the dialog otherwise is Cancel.
    TAskDeleteAnswer Answer() const { return FAnswer; }
    bool DeleteFileToo() const { return ChkDel->isChecked(); }

    QLabel* LabText;
    QCheckBox* ChkDel;
    TClickLabel* Label1;
    QPushButton* BtnYes;
    QPushButton* BtnAll;
    QPushButton* BtnNo;
    QPushButton* BtnCancel;

private:
    void Label1Click();
    void AnswerWith(TAskDeleteAnswer answer);
    QPushButton* MakeButton(const QString& caption, int left, TAskDeleteAnswer answer);

    TAskDeleteAnswer FAnswer = TAskDeleteAnswer::Cancel;
};

// Asks modally and returns the answer with the state of the check box.
TAskDeleteResult AskDelete(QWidget* owner, const QString& message, const QString& title);

} // namespace vardocle
