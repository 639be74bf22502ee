// The help and About windows, the help page beside the executable, and the
// web-site addresses.
#include "platform/base/Paths.h"
#include "services/SiteAddresses.h"
#include "services/uFrmAbout.h"
#include "services/uFrmHelp.h"
#include "tests/support/TestSupport.h"
#include "tests/support/UrlRecorder.h"

#include <QFile>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <gtest/gtest.h>

#include <algorithm>

namespace vardocle {
namespace {

using test::UrlRecorder;

TEST(FrmHelp, ShowsTheHotkeysAndSettingsTextsInTheirFontsAndColours) {
    TFrmHelp help(nullptr);
    EXPECT_EQ(help.windowTitle(), QString::fromUtf8("Pellinor帮助"));
    EXPECT_EQ(help.size(), QSize(396, 249));
    EXPECT_TRUE(help.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(help.GroupBox1->title(), QString::fromUtf8("快捷键:"));
    EXPECT_EQ(help.GroupBox2->title(), QString::fromUtf8("设置说明:"));

    const std::vector<std::pair<QLabel*, const char*>> hotkeys = {
        {help.Label1, "录制:Alt + 1"},       {help.Label2, "暂停:Alt + 2"},
        {help.Label4, "继续:Alt + 3"},       {help.Label3, "停止:Alt + 4"},
        {help.Label5, "显示/隐藏:Ctrl + S"}, {help.Label6, "退出:Alt + Q"}};
    for (const auto& [label, text] : hotkeys) {
        EXPECT_EQ(label->text(), QString::fromUtf8(text));
        EXPECT_EQ(label->parentWidget(), help.GroupBox1);
        EXPECT_EQ(label->font().family(), QString::fromUtf8("宋体"));
        EXPECT_EQ(label->font().pixelSize(), 12);
        EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(255, 0, 255)) << text;
    }
    EXPECT_EQ(help.Label1->pos(), QPoint(16, 24));
    EXPECT_EQ(help.Label3->pos(), QPoint(287, 24));
    EXPECT_EQ(help.Label5->pos(), QPoint(15, 48));

    const QString expected =
        QString::fromUtf8("    “录取鼠标” 和 “录取透明窗体” "
                          "选项是在录制过程中可以改变的选项，而录取“速度”和录取的“高度”和“宽度”"
                          "是无法在录取过程中改变的") +
        QString(37, u' ') +
        QString::fromUtf8(
            "“录取透明窗体”是指录取带有透明属性的窗口，默认不选择，选择后会录取本程序窗口！") +
        QString(33, u' ') +
        QString::fromUtf8(
            "推荐设置：如果录制的视频是供其它机器使用，推荐使用分辨率:800*600模式，1024*768模式！");
    EXPECT_EQ(TFrmHelp::SettingsText(), expected);
    QTextDocument shown;
    shown.setHtml(help.Label7->text());
    EXPECT_EQ(shown.toPlainText(), expected);
    EXPECT_EQ(help.Label7->parentWidget(), help.GroupBox2);
    EXPECT_EQ(help.Label7->geometry().topLeft(), QPoint(16, 24));
    EXPECT_EQ(help.Label7->width(), 336);
    EXPECT_GE(help.Label7->height(), 84);
    EXPECT_EQ(help.Label7->palette().color(QPalette::WindowText), QColor(0, 128, 0));
    EXPECT_EQ(help.Label7->font().pixelSize(), 12);

    EXPECT_EQ(help.BtnHow->text(), QString::fromUtf8("如何录像"));
    EXPECT_EQ(help.BtnHow->geometry(), QRect(152, 216, 105, 25));
    EXPECT_EQ(help.BtnKnow->text(), QString::fromUtf8("我知道了(&C)"));
    EXPECT_EQ(help.BtnKnow->geometry(), QRect(264, 216, 105, 25));
}

TEST(FrmHelp, SettingsTextWrapsInsideItsLabelWithItsSpaces) {
    TFrmHelp help(nullptr);
    QLabel* label = help.Label7;
    ASSERT_TRUE(label->wordWrap());
    // Laid out as the label lays it out: 336 pixels wide, in its font.
    QTextDocument document;
    document.setDefaultFont(label->font());
    document.setDocumentMargin(0);
    document.setHtml(label->text());
    document.setTextWidth(label->width());
    document.size(); // lays the text out
    const QTextLayout* layout = document.firstBlock().layout();
    ASSERT_NE(layout, nullptr);
    QStringList lines;
    const QString text = document.firstBlock().text();
    for (int i = 0; i < layout->lineCount(); ++i) {
        const QTextLine line = layout->lineAt(i);
        lines.append(text.mid(line.textStart(), line.textLength()));
        EXPECT_LE(line.naturalTextWidth(), 336.5) << i;
    }
    // The runs of spaces end the first and second sentences' lines, so the
    // next sentences start lines of their own.
    ASSERT_GE(lines.size(), 5);
    EXPECT_TRUE(lines.front().startsWith("    "));
    const auto startsALine = [&lines](const QString& start) {
        return std::any_of(lines.begin(), lines.end(),
                           [&start](const QString& line) { return line.startsWith(start); });
    };
    EXPECT_TRUE(startsALine(QString::fromUtf8("“录取透明窗体”是指")))
        << lines.join('|').toStdString();
    EXPECT_TRUE(startsALine(QString::fromUtf8("推荐设置"))) << lines.join('|').toStdString();
    // Every line is inside the label, and the label inside its group.
    EXPECT_LE(label->heightForWidth(label->width()), label->height());
    EXPECT_LE(label->geometry().bottom(), help.GroupBox2->height());
}

TEST(FrmHelp, HowButtonOpensThePageBesideTheExecutableFromAnyWorkingFolder) {
    test::TempDir elsewhere;
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(elsewhere.Path());
    TFrmHelp help(nullptr);
    help.show();
    UrlRecorder recorder({"file"});
    help.BtnHow->click();
    std::filesystem::current_path(previous);

    ASSERT_EQ(recorder.Opened.size(), 1);
    const QUrl opened = recorder.Opened.front();
    EXPECT_TRUE(opened.isLocalFile());
    EXPECT_EQ(std::filesystem::path(opened.toLocalFile().toStdString()),
              ExecutableDir() / "Help" / "Help.htm");
    EXPECT_TRUE(help.isVisible()); // the help window stays open
}

TEST(FrmHelp, KnowButtonHidesAndTheSameWindowShowsAgainCentredOnTheMainWindow) {
    QWidget mainWindow;
    mainWindow.setGeometry(300, 200, 242, 89);
    mainWindow.show();
    TFrmHelp help(&mainWindow);
    QPointer<TFrmHelp> alive(&help);
    help.show();
    const QPoint centre = help.frameGeometry().center();
    EXPECT_LE((centre - mainWindow.frameGeometry().center()).manhattanLength(), 4);
    help.BtnKnow->click();
    EXPECT_FALSE(help.isVisible());
    ASSERT_FALSE(alive.isNull());
    help.show();
    EXPECT_TRUE(help.isVisible());
    help.close(); // the frame's close button hides too
    EXPECT_FALSE(help.isVisible());
    EXPECT_FALSE(alive.isNull());
}

TEST(HelpPage, LiesBesideTheBuiltProgramAndCoversWhatUsersAsk) {
    const auto page = test::BinDir() / "Help" / "Help.htm";
    QFile file(QString::fromStdString(page.string()));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << page;
    const QByteArray bytes = file.readAll();
    const QString text = QString::fromUtf8(bytes);
    EXPECT_EQ(text.toUtf8(), bytes) << "not UTF-8";
    EXPECT_TRUE(text.contains("charset=\"utf-8\"", Qt::CaseInsensitive));
    for (const char* topic :
         {"如何录像", "暂停", "停止", "Setting.ini", "History.his", "占用",
          "<kbd>Alt</kbd>+<kbd>Q</kbd>", "<kbd>Ctrl</kbd>+<kbd>S</kbd>", "录取透明窗体", "</html>"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(topic))) << topic;
}

TEST(FrmAbout, ShowsNameAndVersionAndHidesOnOk) {
    TFrmAbout about(nullptr);
    EXPECT_EQ(about.windowTitle(), QString::fromUtf8("关于Pellinor"));
    EXPECT_EQ(about.size(), QSize(298, 213));
    EXPECT_EQ(about.StaticText1->text(), QString::fromUtf8("   Vardocle    "));
    EXPECT_EQ(about.StaticText1->font().pixelSize(), 19);
    EXPECT_TRUE(about.StaticText1->font().underline());
    EXPECT_EQ(about.StaticText1->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
    EXPECT_EQ(about.Version->text(), QString::fromUtf8("当前版本:1.0.0.0"));
    EXPECT_EQ(about.Version->pos(), QPoint(88, 48));
    EXPECT_FALSE(about.Copyright->text().isEmpty());
    EXPECT_TRUE(about.WebAddress->text().contains(SiteBase()));
    EXPECT_EQ(about.OKButton->text(), QString::fromUtf8("确定"));
    EXPECT_TRUE(about.OKButton->isDefault());

    about.show();
    about.OKButton->click();
    EXPECT_FALSE(about.isVisible());
    EXPECT_EQ(about.result(), QDialog::Accepted);
}

TEST(SiteAddresses, ThreePathsOnOneReplaceableSite) {
    const QString built = SiteBase();
    EXPECT_TRUE(built.startsWith("http://") || built.startsWith("https://"));
    EXPECT_EQ(UpdateDescriptionAddress(), (built + "/SiteBack/updateTxt/57.txt").toStdString());

    ASSERT_TRUE(SetSiteBase("http://127.0.0.1:8123/"));
    EXPECT_EQ(SiteBase(), "http://127.0.0.1:8123");
    EXPECT_EQ(UpdateDescriptionAddress(), "http://127.0.0.1:8123/SiteBack/updateTxt/57.txt");
    EXPECT_EQ(HomePageAddress(), QUrl("http://127.0.0.1:8123/2010112257.html"));
    EXPECT_EQ(AdvertisementAddress(), QUrl("http://127.0.0.1:8123/ad/2010112257_1.html"));

    ASSERT_TRUE(SetSiteBase("https://mirror.example.org/vardocle"));
    EXPECT_EQ(HomePageAddress(), QUrl("https://mirror.example.org/vardocle/2010112257.html"));

    for (const char* bad :
         {"", "127.0.0.1:8080", "ftp://example.org", "file:///tmp", "http://",
          "http://example.org/?x=1", "javascript:alert(1)", "http://exa mple.org"})
        EXPECT_FALSE(SetSiteBase(QString::fromUtf8(bad))) << bad;
    EXPECT_EQ(SiteBase(), "https://mirror.example.org/vardocle");

    UrlRecorder recorder({"http", "https"});
    OpenHomePage();
    ASSERT_EQ(recorder.Opened.size(), 1);
    EXPECT_EQ(recorder.Opened.front(), QUrl("https://mirror.example.org/vardocle/2010112257.html"));
    ASSERT_TRUE(SetSiteBase(built));
}

} // namespace
} // namespace vardocle
