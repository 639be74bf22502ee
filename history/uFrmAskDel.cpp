#include "history/uFrmAskDel.h"

#include "platform/base/QtChild.h"

namespace vardocle {

namespace {

constexpr int kButtonTop = 57;
constexpr int kCheckTop = 32;
// The text may take this much room before the dialog has to grow.
constexpr int kPlainTextWidth = 200;
constexpr int kPlainTextHeight = 15;
constexpr int kTextMargin = 40;

const QColor kMaroon(0x80, 0x00, 0x00);
const QColor kOlive(0x80, 0x80, 0x00);

void SetTextColor(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}

} // namespace

TFrmAskDel::TFrmAskDel(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("FrmAskDel"));
    setFixedSize(kDesignedWidth, kDesignedHeight);

    LabText = MakeQtChild<QLabel>(this);
    LabText->setObjectName(QStringLiteral("LabText"));
    LabText->move(15, 10);
    SetTextColor(LabText, kMaroon);

    ChkDel = MakeQtChild<QCheckBox>(this);
    ChkDel->setObjectName(QStringLiteral("ChkDel"));
    ChkDel->move(17, kCheckTop);
    ChkDel->adjustSize();

    Label1 = MakeQtChild<TClickLabel>(QStringLiteral("删除记录时同时删除文件"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(35, kCheckTop);
    Label1->adjustSize();
    SetTextColor(Label1, kOlive);
    connect(Label1, &TClickLabel::Clicked, this, &TFrmAskDel::Label1Click);

    BtnYes = MakeButton(QStringLiteral("是"), 9, TAskDeleteAnswer::Yes);
    BtnAll = MakeButton(QStringLiteral("全是"), 105, TAskDeleteAnswer::All);
    BtnNo = MakeButton(QStringLiteral("否"), 201, TAskDeleteAnswer::No);
    BtnCancel = MakeButton(QStringLiteral("取消"), 298, TAskDeleteAnswer::Cancel);
    // Return answers Yes, Escape closes the dialog, which counts as Cancel.
    BtnYes->setDefault(true);
    BtnYes->setFocus();
}

QPushButton* TFrmAskDel::MakeButton(const QString& caption, int left, TAskDeleteAnswer answer) {
    auto* button = MakeQtChild<QPushButton>(caption, this);
    button->setGeometry(left, kButtonTop, 86, 25);
    connect(button, &QPushButton::clicked, this, [this, answer] { AnswerWith(answer); });
    return button;
}

void TFrmAskDel::SetQuestion(const QString& message, const QString& title) {
    setWindowTitle(title);
    LabText->setText(message);
    LabText->adjustSize();

    int width = kDesignedWidth;
    int height = kDesignedHeight;
    // A long text widens the dialog, but never below its designed width: the
    // four buttons must stay reachable.
    if (LabText->width() > kPlainTextWidth)
        width = std::max(kDesignedWidth, LabText->width() + kTextMargin);
    // A text of several lines pushes the controls below it down.
    const int growth = LabText->height() - kPlainTextHeight;
    if (growth > 0) {
        height += growth;
        for (QWidget* below : {static_cast<QWidget*>(ChkDel), static_cast<QWidget*>(Label1),
                               static_cast<QWidget*>(BtnYes), static_cast<QWidget*>(BtnAll),
                               static_cast<QWidget*>(BtnNo), static_cast<QWidget*>(BtnCancel)})
            below->move(below->x(), below->y() + growth);
    }
    setFixedSize(width, height);
}

void TFrmAskDel::Label1Click() {
    ChkDel->toggle();
}

void TFrmAskDel::AnswerWith(TAskDeleteAnswer answer) {
    FAnswer = answer;
    if (answer == TAskDeleteAnswer::Cancel)
        reject();
    else
        accept();
}

TAskDeleteResult AskDelete(QWidget* owner, const QString& message, const QString& title) {
    TFrmAskDel dialog(owner);
    dialog.SetQuestion(message, title);
    dialog.exec();
    return {dialog.Answer(), dialog.DeleteFileToo()};
}

} // namespace vardocle
