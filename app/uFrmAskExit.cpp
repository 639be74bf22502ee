#include "app/uFrmAskExit.h"

#include "platform/base/QtChild.h"
#include "services/FormLook.h"

#include <QFont>
#include <QFontMetrics>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

#include <algorithm>

namespace vardocle {

TFrmAskExit::TFrmAskExit(QWidget* centerOn)
    : QDialog(centerOn, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowStaysOnTopHint) {
    setWindowTitle(QStringLiteral("Vardocle"));
    setFixedSize(209, 92);
    setFont(FormFont());

    ImgIco = MakeQtChild<QLabel>(this);
    ImgIco->setGeometry(16, 11, 41, 33);
    ImgIco->setScaledContents(true);
    ImgIco->setPixmap(QPixmap(QStringLiteral(":/icons/vardocle-32.png")));

    LblMsg = MakeQtChild<QLabel>(this);
    LblMsg->setGeometry(63, 13, 131, 32);
    LblMsg->setWordWrap(true);
    QFont messageFont(QStringLiteral("宋体-PUA"));
    messageFont.setPixelSize(14);
    LblMsg->setFont(messageFont);
    LblMsg->setStyleSheet(QStringLiteral("color: rgb(255, 0, 0);"));

    BtnYes = MakeQtChild<QPushButton>(QStringLiteral("是的(&Y)"), this);
    BtnYes->setGeometry(23, 59, 75, 24);
    BtnYes->setDefault(true);
    BtnYes->setAutoDefault(true);
    connect(BtnYes, &QPushButton::clicked, this, &QDialog::accept);

    BtnNo = MakeQtChild<QPushButton>(QStringLiteral("不要(&N)"), this);
    BtnNo->setGeometry(112, 59, 75, 24);
    // Return presses the focused button; Yes takes it only while no button
    // has the focus. A No that passed Return on to the default would stop
    // the recording and end the program on the opposite answer.
    BtnNo->setAutoDefault(true);
    connect(BtnNo, &QPushButton::clicked, this, &QDialog::reject); // Esc rejects too

    if (centerOn) {
        const QPoint center = centerOn->frameGeometry().center();
        move(center.x() - width() / 2, center.y() - height() / 2);
    }
}

void TFrmAskExit::SetMessage(const QString& message) {
    LblMsg->setText(message);
    // The lines as the label's font sets them, descenders included.
    const QFontMetrics metrics(LblMsg->font());
    const QRect lines = metrics.boundingRect(QRect(0, 0, LblMsg->width(), 10000),
                                             Qt::TextWordWrap | Qt::AlignLeft, message);
    const int needed = std::max(lines.height(), LblMsg->heightForWidth(LblMsg->width()));
    const int missing = needed - LblMsg->height();
    if (missing <= 0)
        return;
    LblMsg->resize(LblMsg->width(), needed);
    BtnYes->move(BtnYes->x(), BtnYes->y() + missing);
    BtnNo->move(BtnNo->x(), BtnNo->y() + missing);
    const QPoint center = geometry().center();
    setFixedSize(width(), height() + missing);
    move(x(), center.y() - height() / 2);
}

bool AskExit(const QString& message, QWidget* centerOn) {
    TFrmAskExit dialog(centerOn);
    dialog.SetMessage(message);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace vardocle
