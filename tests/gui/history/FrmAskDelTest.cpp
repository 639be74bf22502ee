#include "platform/base/QtChild.h"
#include "history/uFrmAskDel.h"

#include <QApplication>
#include <QFontMetrics>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace vardocle {
namespace {

// A question whose text is at least `pixels` wide in the label's font.
QString QuestionWiderThan(const TFrmAskDel& dialog, int pixels) {
    const QFontMetrics metrics(dialog.LabText->font());
    QString text = QStringLiteral("你确实要删除记录 :");
    while (metrics.horizontalAdvance(text) <= pixels)
        text += u'录';
    return text;
}

// Acts on the delete question as soon as it is shown modally.
void WhenAsked(const std::function<void(TFrmAskDel&)>& act) {
    auto* poll = MakeQtChild<QTimer>(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act] {
        if (auto* dialog = qobject_cast<TFrmAskDel*>(QApplication::activeModalWidget())) {
            poll->deleteLater();
            poll->stop();
            act(*dialog);
        }
    });
    poll->start(5);
}

TEST(FrmAskDel, HasItsControlsInTheirPlaces) {
    TFrmAskDel dialog;
    dialog.SetQuestion(QStringLiteral("你确实要删除记录 :a.avi  吗?"), QStringLiteral("提示"));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("提示"));
    EXPECT_EQ(dialog.LabText->text(), QStringLiteral("你确实要删除记录 :a.avi  吗?"));
    EXPECT_EQ(dialog.LabText->pos(), QPoint(15, 10));
    EXPECT_EQ(dialog.LabText->palette().color(QPalette::WindowText), QColor(0x80, 0, 0));
    EXPECT_EQ(dialog.Label1->text(), QStringLiteral("删除记录时同时删除文件"));
    EXPECT_EQ(dialog.Label1->palette().color(QPalette::WindowText), QColor(0x80, 0x80, 0));
    EXPECT_TRUE(dialog.ChkDel->text().isEmpty());
    EXPECT_FALSE(dialog.ChkDel->isChecked());

    // A single line may be taller than the designed 15 pixels; the rows below
    // then move down by as much as the dialog grows.
    const int growth = std::max(0, dialog.LabText->height() - 15);
    EXPECT_EQ(dialog.size(), QSize(393, 90 + growth));
    EXPECT_EQ(dialog.ChkDel->pos(), QPoint(17, 32 + growth));
    EXPECT_EQ(dialog.Label1->pos(), QPoint(35, 32 + growth));
    EXPECT_EQ(dialog.BtnYes->geometry(), QRect(9, 57 + growth, 86, 25));
    EXPECT_EQ(dialog.BtnAll->geometry(), QRect(105, 57 + growth, 86, 25));
    EXPECT_EQ(dialog.BtnNo->geometry(), QRect(201, 57 + growth, 86, 25));
    EXPECT_EQ(dialog.BtnCancel->geometry(), QRect(298, 57 + growth, 86, 25));
    EXPECT_EQ(dialog.BtnYes->text(), QStringLiteral("是"));
    EXPECT_EQ(dialog.BtnAll->text(), QStringLiteral("全是"));
    EXPECT_EQ(dialog.BtnNo->text(), QStringLiteral("否"));
    EXPECT_EQ(dialog.BtnCancel->text(), QStringLiteral("取消"));
}

TEST(FrmAskDel, AWideQuestionWidensTheDialogToTextWidthPlus40) {
    TFrmAskDel dialog;
    dialog.SetQuestion(QuestionWiderThan(dialog, 500), QStringLiteral("提示"));
    ASSERT_GT(dialog.LabText->width(), 500);
    EXPECT_EQ(dialog.width(), dialog.LabText->width() + 40);
}

TEST(FrmAskDel, AModeratelyWideQuestionNeverHidesAButton) {
    TFrmAskDel dialog;
    dialog.SetQuestion(QuestionWiderThan(dialog, 210), QStringLiteral("提示"));
    ASSERT_GT(dialog.LabText->width(), 200);
    ASSERT_LT(dialog.LabText->width() + 40, 393);
    EXPECT_EQ(dialog.width(), 393);
    EXPECT_LE(dialog.BtnCancel->geometry().right(), dialog.width());
}

TEST(FrmAskDel, AQuestionOfSeveralLinesGrowsTheDialogAndMovesTheRowsBelow) {
    TFrmAskDel dialog;
    dialog.SetQuestion(QStringLiteral("第一行\n第二行\n第三行"), QStringLiteral("提示"));
    const int growth = dialog.LabText->height() - 15;
    ASSERT_GT(growth, 20);
    EXPECT_EQ(dialog.height(), 90 + growth);
    EXPECT_GE(dialog.ChkDel->y(), dialog.LabText->geometry().bottom());
    EXPECT_EQ(dialog.BtnYes->y(), 57 + growth);
}

TEST(FrmAskDel, ClickingTheCaptionTogglesTheCheckBox) {
    TFrmAskDel dialog;
    dialog.SetQuestion(QStringLiteral("?"), QStringLiteral("提示"));
    dialog.show();
    QTest::mouseClick(dialog.Label1, Qt::LeftButton);
    EXPECT_TRUE(dialog.ChkDel->isChecked());
    QTest::mouseClick(dialog.Label1, Qt::LeftButton);
    EXPECT_FALSE(dialog.ChkDel->isChecked());
}

TEST(FrmAskDel, AskDeleteReturnsTheButtonAndTheCheckBox) {
    struct Case {
        QPushButton* TFrmAskDel::*Button;
        bool TickBox;
        TAskDeleteAnswer Expected;
    };
    const Case cases[] = {{&TFrmAskDel::BtnYes, true, TAskDeleteAnswer::Yes},
                          {&TFrmAskDel::BtnAll, false, TAskDeleteAnswer::All},
                          {&TFrmAskDel::BtnNo, true, TAskDeleteAnswer::No},
                          {&TFrmAskDel::BtnCancel, false, TAskDeleteAnswer::Cancel}};
    for (const Case& c : cases) {
        QString shownText;
        WhenAsked([&](TFrmAskDel& dialog) {
            shownText = dialog.LabText->text();
            if (c.TickBox)
                QTest::mouseClick(dialog.Label1, Qt::LeftButton);
            (dialog.*c.Button)->click();
        });
        const TAskDeleteResult result = AskDelete(
            nullptr, QStringLiteral("你确实要删除记录 :x.avi  吗?"), QStringLiteral("提示"));
        EXPECT_EQ(result.Answer, c.Expected);
        EXPECT_EQ(result.DeleteFileToo, c.TickBox);
        EXPECT_EQ(shownText, QStringLiteral("你确实要删除记录 :x.avi  吗?"));
    }
}

TEST(FrmAskDel, ClosingTheDialogOtherwiseIsCancel) {
    WhenAsked([](TFrmAskDel& dialog) { QTest::keyClick(&dialog, Qt::Key_Escape); });
    EXPECT_EQ(AskDelete(nullptr, QStringLiteral("?"), QStringLiteral("提示")).Answer,
              TAskDeleteAnswer::Cancel);
    WhenAsked([](TFrmAskDel& dialog) { dialog.close(); });
    EXPECT_EQ(AskDelete(nullptr, QStringLiteral("?"), QStringLiteral("提示")).Answer,
              TAskDeleteAnswer::Cancel);
}

} // namespace
} // namespace vardocle
