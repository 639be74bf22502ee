#include "services/uFrmHelp.h"

#include "platform/base/Paths.h"
#include "platform/base/QtChild.h"
#include "services/FormLook.h"

#include <QDesktopServices>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QUrl>

#include <algorithm>

namespace vardocle {

namespace {

QLabel* MakeLabel(QWidget* parent, const QString& text, int left, int top, const QColor& colour) {
    auto* label = MakeQtChild<QLabel>(text, parent);
    QFont font;
    // 宋体 where it is installed; otherwise a CJK font of the same build:
    // full-width characters 12 px wide, half-width ones (the spaces) 6 px.
    font.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"),
                      QStringLiteral("Noto Sans Mono CJK SC")});
    font.setPixelSize(12);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    label->move(left, top);
    label->adjustSize();
    return label;
}

} // namespace

std::filesystem::path HelpPagePath() {
    return ExecutableDir() / "Help" / "Help.htm";
}

QString TFrmHelp::SettingsText() {
    return QString(4, u' ') +
           QStringLiteral("“录取鼠标” 和 “录取透明窗体” "
                          "选项是在录制过程中可以改变的选项，而录取“速度”和录取的“高度”和“宽度”"
                          "是无法在录取过程中改变的") +
           QString(37, u' ') +
           QStringLiteral(
               "“录取透明窗体”是指录取带有透明属性的窗口，默认不选择，选择后会录取本程序窗口！") +
           QString(33, u' ') +
           QStringLiteral(
               "推荐设置：如果录制的视频是供其它机器使用，推荐使用分辨率:800*600模式，1024*"
               "768模式！");
}

TFrmHelp::TFrmHelp(QWidget* mainWindow)
    : QDialog(mainWindow, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                              Qt::WindowCloseButtonHint) {
    SetUpFixedDialog(*this, QStringLiteral("FrmHelp"), QStringLiteral("Pellinor帮助"),
                     QSize(396, 249));

    const QColor magenta(255, 0, 255);
    GroupBox1 = MakeQtChild<QGroupBox>(QStringLiteral("快捷键:"), this);
    GroupBox1->setGeometry(8, 8, 377, 73);
    Label1 = MakeLabel(GroupBox1, QStringLiteral("录制:Alt + 1"), 16, 24, magenta);
    Label2 = MakeLabel(GroupBox1, QStringLiteral("暂停:Alt + 2"), 105, 24, magenta);
    Label4 = MakeLabel(GroupBox1, QStringLiteral("继续:Alt + 3"), 197, 24, magenta);
    Label3 = MakeLabel(GroupBox1, QStringLiteral("停止:Alt + 4"), 287, 24, magenta);
    Label5 = MakeLabel(GroupBox1, QStringLiteral("显示/隐藏:Ctrl + S"), 15, 48, magenta);
    Label6 = MakeLabel(GroupBox1, QStringLiteral("退出:Alt + Q"), 146, 48, magenta);

    GroupBox2 = MakeQtChild<QGroupBox>(QStringLiteral("设置说明:"), this);
    GroupBox2->setGeometry(8, 88, 377, 121);
    // The runs of spaces must keep their width, and the lines a pitch of
    // about 12 px whatever the font's own line gap.
    Label7 = MakeLabel(GroupBox2,
                       QStringLiteral("<p style=\"white-space: pre-wrap; line-height: 70%\">%1</p>")
                           .arg(SettingsText().toHtmlEscaped()),
                       16, 24, QColor(0, 128, 0));
    Label7->setTextFormat(Qt::RichText);
    Label7->setWordWrap(true);
    Label7->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Seven lines of 12 px fill the label. A font whose last line reaches
    // further down gets the few pixels it needs from the group's margin
    // instead of losing the end of the text.
    const int textHeight = Label7->heightForWidth(336);
    Label7->setGeometry(16, 24, 336, std::clamp(textHeight, 84, GroupBox2->height() - 24 - 4));

    BtnHow = MakeQtChild<QPushButton>(QStringLiteral("如何录像"), this);
    BtnHow->setGeometry(152, 216, 105, 25);
    BtnHow->setAutoDefault(false);
    BtnKnow = MakeQtChild<QPushButton>(QStringLiteral("我知道了(&C)"), this);
    BtnKnow->setGeometry(264, 216, 105, 25);
    BtnKnow->setAutoDefault(false);
    connect(BtnHow, &QPushButton::clicked, this, &TFrmHelp::BtnHowClick);
    connect(BtnKnow, &QPushButton::clicked, this, &TFrmHelp::BtnKnowClick);
}

void TFrmHelp::ShowHotKeys(const std::array<QString, 6>& keys, const std::array<bool, 6>& refused) {
    const std::array<QLabel*, 6> labels = {Label1, Label2, Label4, Label3, Label5, Label6};
    const std::array<QString, 6> names = {QStringLiteral("录制"),      QStringLiteral("暂停"),
                                          QStringLiteral("继续"),      QStringLiteral("停止"),
                                          QStringLiteral("显示/隐藏"), QStringLiteral("退出")};
    bool any = false;
    for (std::size_t row = 0; row < labels.size(); ++row) {
        labels[row]->setText(names[row] + QLatin1Char(':') + keys[row]);
        labels[row]->adjustSize();
        QFont font = labels[row]->font();
        font.setStrikeOut(refused[row]);
        labels[row]->setFont(font);
        labels[row]->setToolTip(refused[row] ? QStringLiteral("已被其他程序占用") : QString());
        any = any || refused[row];
    }
    // Longer combinations push the next label along its line; the usual
    // ones keep their places.
    const std::array<std::array<QLabel*, 4>, 2> lines = {
        std::array<QLabel*, 4>{Label1, Label2, Label4, Label3}, {Label5, Label6, nullptr, nullptr}};
    const std::array<std::array<int, 4>, 2> places = {std::array<int, 4>{16, 105, 197, 287},
                                                      {15, 146, 0, 0}};
    for (std::size_t line = 0; line < lines.size(); ++line)
        for (std::size_t at = 0; at < lines[line].size() && lines[line][at]; ++at) {
            QLabel* label = lines[line][at];
            const int after = at == 0 ? 0 : lines[line][at - 1]->geometry().right() + 10;
            label->move(std::max(places[line][at], after), label->y());
        }
    GroupBox1->setTitle(any ? QStringLiteral("快捷键 (划掉的已被其他程序占用，可在设置窗口的"
                                             "“热键”中更换，或用 vardocle --command):")
                            : QStringLiteral("快捷键:"));
}

void TFrmHelp::BtnHowClick() {
    // The result is not checked: a missing page gives whatever the desktop
    // shows, and the help window stays open.
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(HelpPagePath().string())));
}

void TFrmHelp::BtnKnowClick() {
    close();
}

} // namespace vardocle
