#include "services/uFrmAbout.h"

#include "platform/base/QtChild.h"
#include "platform/base/UserFilesFolder.h"
#include "services/FormLook.h"
#include "services/SiteAddresses.h"
#include "update/Version.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

namespace vardocle {

namespace {

QLabel* MakeLine(QWidget* parent, const QString& text, int left, int top) {
    auto* label = MakeQtChild<QLabel>(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->move(left, top);
    label->adjustSize();
    return label;
}

} // namespace

TFrmAbout::TFrmAbout(QWidget* mainWindow)
    : QDialog(mainWindow, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    SetUpFixedDialog(*this, QStringLiteral("FrmAbout"), QStringLiteral("关于Pellinor"),
                     QSize(298, 213));

    Panel1 = MakeQtChild<QFrame>(this);
    Panel1->setGeometry(8, 8, 281, 161);
    // A lowered outer edge around a raised inner one.
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Sunken);
    Panel1->setLineWidth(1);
    Panel1->setMidLineWidth(1);

    ProgramIcon = MakeQtChild<QLabel>(Panel1);
    ProgramIcon->setGeometry(16, 8, 33, 41);
    ProgramIcon->setScaledContents(true);
    ProgramIcon->setPixmap(QApplication::windowIcon().pixmap(32, 32));

    StaticText1 = MakeQtChild<QLabel>(QStringLiteral("   Vardocle    "), Panel1);
    StaticText1->setGeometry(88, 16, 177, 20);
    StaticText1->setAlignment(Qt::AlignCenter);
    QFont titleFont;
    // 楷体 where it is installed; otherwise the nearest brush-style CJK face.
    titleFont.setFamilies({QStringLiteral("楷体_GB2312"), QStringLiteral("KaiTi"),
                           QStringLiteral("AR PL UKai CN"), QStringLiteral("Noto Serif CJK SC")});
    titleFont.setPixelSize(19);
    titleFont.setUnderline(true);
    StaticText1->setFont(titleFont);
    QPalette grey = StaticText1->palette();
    grey.setColor(QPalette::WindowText, QColor(128, 128, 128));
    StaticText1->setPalette(grey);

    Version = MakeLine(Panel1, QStringLiteral("当前版本:") + QString::fromLatin1(kProgramVersion),
                       88, 48);
    Copyright = MakeLine(Panel1, QStringLiteral("版权所有 (C) Pellinor 保留所有权利"), 8, 80);
    Company = MakeLine(Panel1, QStringLiteral("Pellinor 软件工作室"), 8, 104);
    WebAddress = MakeLine(Panel1, QStringLiteral("官方网站: ") + SiteBase(), 8, 128);
    const QString folder = QString::fromStdString(UserFiles().Folder().string());
    FilesFolder = MakeLine(Panel1, QString(), 8, 144);
    FilesFolder->setText(FilesFolder->fontMetrics().elidedText(
        QStringLiteral("设置与历史: ") + folder, Qt::ElideMiddle, 265));
    FilesFolder->adjustSize();
    FilesFolder->setToolTip(folder);

    OKButton = MakeQtChild<QPushButton>(QStringLiteral("确定"), this);
    OKButton->setGeometry(111, 180, 75, 25);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &TFrmAbout::OKButtonClick);
}

void TFrmAbout::OKButtonClick() {
    accept();
}

} // namespace vardocle
