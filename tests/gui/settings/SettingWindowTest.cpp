// The settings window on Qt's offscreen platform: its controls, what it reads
// and writes, folding, closing and docking beneath the main window.
#include "app/ApplicationErrors.h"
#include "app/IniFile.h"
#include "app/PictureView.h"
#include "app/SizeAdvice.h"
#include "app/SpinEdit.h"
#include "app/area/AreaChoiceControls.h"
#include "app/hotkeys/HotKeyPage.h"
#include "app/recording/SegmentRow.h"
#include "app/recording/StorageLimitRow.h"
#include "app/sound/SoundChoiceControls.h"
#include "app/uFrmSetting.h"
#include "skin/ImageButton.h"

#include "tests/support/TestSupport.h"
#include "tests/unit/settings/SettingFiles.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace vardocle {
namespace {

using test::ReadFile;
using test::WriteFile;

class SettingWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        Main.setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
        Main.setGeometry(300, 200, 242, 89);
        SetErrorDisplay([this](const QString& message) { Errors << message; });
    }
    void TearDown() override { SetErrorDisplay(nullptr); }

    std::unique_ptr<TFrmSetting> Make() { return std::make_unique<TFrmSetting>(&Main, File); }

    // Drags the window by its caption so that its corner lands at `target`.
    static void DragByCaption(TFrmSetting& window, const QPoint& target) {
        const QPoint grip(30, 12); // inside the caption label
        const QPoint start = window.pos() + window.LabCaption->pos() + grip;
        const QPoint end = start + (target - window.pos());
        auto send = [&](QEvent::Type type, const QPoint& global, Qt::MouseButton button,
                        Qt::MouseButtons buttons) {
            QMouseEvent event(type, window.LabCaption->mapFromGlobal(QPointF(global)),
                              QPointF(global), button, buttons, Qt::NoModifier);
            QApplication::sendEvent(window.LabCaption, &event);
        };
        send(QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
        send(QEvent::MouseMove, (start + end) / 2, Qt::NoButton, Qt::LeftButton);
        send(QEvent::MouseMove, end, Qt::NoButton, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, end, Qt::LeftButton, Qt::NoButton);
    }

    test::TempDir Dir;
    std::filesystem::path File = Dir / "Setting.ini";
    QWidget Main;
    QStringList Errors;
};

TEST_F(SettingWindowTest, StandsBeneathTheMainWindowWithItsCaptionsAndShape) {
    WriteFile(File, "[Main]\n");
    auto window = Make();
    EXPECT_EQ(window->pos(), QPoint(302, 289));
    // The hotkey rows lengthen the body beneath the recording options, which
    // keep their places.
    EXPECT_EQ(window->width(), 241);
    EXPECT_EQ(window->height(), 178 + TSoundChoiceControls::kRowHeight +
                                    TAreaChoiceControls::kRowHeight + TSegmentRow::kRowHeight +
                                    TStorageLimitRow::kRowHeight + window->HotKeys->height());
    EXPECT_GE(window->HotKeys->y(), window->SpinHeight->geometry().bottom());
    EXPECT_EQ(window->SpinHeight->geometry(), QRect(163, 144, 56, 22));
    EXPECT_EQ(window->windowTitle(), "设置");
    EXPECT_TRUE(window->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(window->LabCaption->text(), "  Vardocle");
    EXPECT_EQ(window->CheckRecordCursor->text(), "录制时录取鼠标:" + QString(33, ' '));
    EXPECT_EQ(window->CheckRecordThansparent->text(), "录制时录取透明窗体(包括本程序):  ");
    EXPECT_EQ(window->Label4->text(), "录取速度设置(帧/秒):");
    EXPECT_EQ(window->Label5->text(), "生成的视频宽度(像素):");
    EXPECT_EQ(window->Label6->text(), "生成的视频高度(像素):");
    EXPECT_EQ(window->BtnHide->geometry(), QRect(187, 2, 25, 20));
    EXPECT_EQ(window->BtnClose->geometry(), QRect(211, 2, 25, 20));
    EXPECT_EQ(window->ImgFrom->geometry(), QRect(0, 24, 240, window->height() - 25));

    // The pictures give the window its shape: the column right of them is the
    // see-through key colour.
    EXPECT_FALSE(window->ImgTitle->Picture().isNull());
    EXPECT_FALSE(window->ImgFrom->Picture().isNull());
    const QRegion shape = window->mask();
    EXPECT_TRUE(shape.contains(QPoint(120, 100)));
    EXPECT_TRUE(shape.contains(QPoint(120, 12)));
    EXPECT_FALSE(shape.contains(QPoint(240, 100)));
}

TEST_F(SettingWindowTest, FileValuesAreBroughtIntoTheFieldsRanges) {
    struct TCase {
        const char* Line;
        TSettingValues Shown;
    };
    const QSize screen = PrimaryScreenSize();
    const TCase cases[] = {
        {"Rate=9", {true, false, 5, 1024, 768}},
        {"Rate=0", {true, false, 1, 1024, 768}},
        {"Width=abc", {true, false, 2, screen.width(), 768}},
        {"RecordTrans=2", {true, true, 2, 1024, 768}},
        {"RecordCursor=0", {false, false, 2, 1024, 768}},
        {"Height=0x10", {true, false, 2, 1024, 16}},
        {"Width=99999999999", {true, false, 2, 5000, 768}},
        {"Width=-3", {true, false, 2, 1, 768}},
    };
    for (const auto& c : cases) {
        // The first of duplicate keys counts: the case's line comes first.
        WriteFile(File, std::string("[Main]\n") + c.Line + "\nWidth=1024\nHeight=768\n");
        auto window = Make();
        EXPECT_EQ(window->Values(), c.Shown) << c.Line;
        EXPECT_EQ(window->SpinWidth->text().toInt(), c.Shown.Width) << c.Line;
    }
    EXPECT_TRUE(Errors.isEmpty());
}

TEST_F(SettingWindowTest, FirstRunShowsTheScreensSizeAndExitKeepsIt) {
    auto window = Make();
    const QSize screen = PrimaryScreenSize();
    ASSERT_NE(screen, QSize(1024, 768)) << "the test screen must differ from the old default";
    TIniFile ini(File);
    EXPECT_EQ(ini.ReadInteger("Main", "Width", 0), screen.width());
    EXPECT_EQ(ini.ReadInteger("Main", "Height", 0), screen.height());
    EXPECT_EQ(window->Values(), (TSettingValues{true, false, 2, screen.width(), screen.height()}));

    SaveSetting(*window);
    EXPECT_EQ(ini.ReadInteger("Main", "Width", 0), screen.width());
    EXPECT_EQ(ini.ReadInteger("Main", "Height", 0), screen.height());
    EXPECT_EQ(ini.ReadString("Main", "Path", ""), Dir.Path().string() + "/");

    window->SpinRate->SetValue(4);
    window->CheckRecordThansparent->setChecked(true);
    window->SpinHeight->SetValue(480);
    SaveSetting(*window);
    EXPECT_EQ(Make()->Values(), (TSettingValues{true, true, 4, screen.width(), 480}));
}

TEST_F(SettingWindowTest, SizesThatRecordOtherwiseThanChosenAreToldBeneathTheFields) {
    const QSize screen = PrimaryScreenSize();
    WriteFile(File, "[Main]\nWidth=" + std::to_string(screen.width()) +
                        "\nHeight=" + std::to_string(screen.height() / 2) + "\n");
    auto window = Make();
    window->show();
    ASSERT_FALSE(window->SizeAdvice->isHidden());
    EXPECT_TRUE(window->SizeAdvice->text().contains("拉伸"));
    const int withoutAdvice = 178 + TSoundChoiceControls::kRowHeight +
                              TAreaChoiceControls::kRowHeight + TSegmentRow::kRowHeight +
                              TStorageLimitRow::kRowHeight + window->HotKeys->height();
    EXPECT_GT(window->height(), withoutAdvice);
    // The rows beneath make room for it.
    EXPECT_GE(window->SoundChoice->Row->y(), window->SizeAdvice->geometry().bottom());
    EXPECT_TRUE(window->mask().contains(window->SizeAdvice->geometry().center()));
    // One click takes the screen's shape; nothing is left to say.
    emit window->SizeAdvice->linkActivated("shape");
    EXPECT_EQ(QSize(window->Values().Width, window->Values().Height), screen);
    EXPECT_TRUE(window->SizeAdvice->isHidden());
    EXPECT_EQ(window->height(), withoutAdvice);

    // Within 1 % of the screen's shape, but odd: recorded one pixel larger.
    window->SpinWidth->SetValue(screen.width() + 1);
    window->SpinHeight->SetValue(screen.height() + 1);
    ASSERT_FALSE(window->SizeAdvice->isHidden());
    EXPECT_FALSE(window->SizeAdvice->text().contains("拉伸"));
    EXPECT_TRUE(window->SizeAdvice->text().contains(
        QStringLiteral("%1×%2").arg(screen.width() + 2).arg(screen.height() + 2)));
}

TEST_F(SettingWindowTest, FileThatCannotBeWrittenIsReportedAndTheWindowStillComes) {
    File = Dir / "missing" / "Setting.ini";
    auto window = Make();
    ASSERT_EQ(Errors.size(), 1);
    EXPECT_EQ(Errors[0], "Unable to write to " + QString::fromStdString(File.string()));
    EXPECT_EQ(window->Values(), TSettingValues{});
    EXPECT_THROW(SaveSetting(*window), EIniFileException);
}

TEST_F(SettingWindowTest, FoldingAndUnfoldingRestoresTheFullHeight) {
    WriteFile(File, "[Main]\n");
    auto window = Make();
    window->show();
    QTest::mouseClick(window->BtnHide, Qt::LeftButton, {}, QPoint(12, 10));
    EXPECT_EQ(window->height(), 24);
    EXPECT_TRUE(window->ImgFrom->isHidden());
    QTest::mouseClick(window->BtnHide, Qt::LeftButton, {}, QPoint(12, 10));
    const int full = 178 + TSoundChoiceControls::kRowHeight + TAreaChoiceControls::kRowHeight +
                     TSegmentRow::kRowHeight + TStorageLimitRow::kRowHeight +
                     window->HotKeys->height();
    EXPECT_EQ(window->height(), full);
    EXPECT_FALSE(window->ImgFrom->isHidden());
    EXPECT_EQ(window->ImgFrom->geometry(), QRect(0, 24, 240, full - 25));
}

TEST_F(SettingWindowTest, CloseHidesTheWindowForTheNextShow) {
    WriteFile(File, "[Main]\nRate=3\n");
    auto window = Make();
    window->show();
    QTest::mouseClick(window->BtnClose, Qt::LeftButton, {}, QPoint(12, 10));
    EXPECT_TRUE(window->isHidden());
    window->show();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->SpinRate->Value(), 3);
}

TEST_F(SettingWindowTest, TypedZeroInTheWidthShowsOneWhenTheFieldIsLeft) {
    WriteFile(File, "[Main]\n");
    auto window = Make();
    window->show();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    window->SpinWidth->setFocus();
    window->SpinWidth->selectAll();
    QTest::keyClicks(window->SpinWidth, "0");
    EXPECT_EQ(window->SpinWidth->Value(), 0); // the text as it stands
    window->SpinHeight->setFocus();
    EXPECT_EQ(window->SpinWidth->text(), "1");
    EXPECT_EQ(window->Values().Width, 1);

    // The rate field takes no typing; its arrows work.
    window->SpinRate->setFocus();
    window->SpinRate->selectAll();
    QTest::keyClicks(window->SpinRate, "4");
    EXPECT_EQ(window->SpinRate->Value(), 2);
    QTest::keyClick(window->SpinRate, Qt::Key_Up);
    EXPECT_EQ(window->SpinRate->Value(), 3);
}

TEST_F(SettingWindowTest, DropTwentyPixelsBelowTheMainWindowDocksFortyStays) {
    WriteFile(File, "[Main]\n");
    auto window = Make();
    window->show();
    // The main window's bottom edge is at 289.
    DragByCaption(*window, QPoint(520, 309));
    EXPECT_EQ(window->pos(), QPoint(300, 289));
    DragByCaption(*window, QPoint(520, 329));
    EXPECT_EQ(window->pos(), QPoint(520, 329));
}

// A user who never chooses keeps the file as it always was; a choice made in
// the row or in the tray's submenu is the same choice and survives a restart;
// hand-edited levels are read and brought into range.
TEST_F(SettingWindowTest, TheSoundChoiceIsKeptOnceMadeInTheRowOrTheTrayMenu) {
    WriteFile(File, "[Main]\nRate=3\n");
    auto window = Make();
    EXPECT_EQ(window->SoundChoice->Choice(), TSoundChoice::Microphone);
    SaveSetting(*window);
    EXPECT_EQ(ReadFile(File).find("Sound="), std::string::npos);

    window->SoundChoice->Menu()->actions()[2]->trigger();
    EXPECT_EQ(window->SoundChoice->ComboSound->currentText(), "麦克风和系统声音");
    window->SoundChoice->ComboSound->setCurrentIndex(1);
    EXPECT_TRUE(window->SoundChoice->Menu()->actions()[1]->isChecked());
    SaveSetting(*window);
    EXPECT_EQ(Make()->SoundSetting().Choice, TSoundChoice::SystemSound);

    WriteFile(File, "[Main]\nSound=both\nMicLevel=50\nSystemLevel=999\n");
    const TSoundSetting edited = Make()->SoundSetting();
    EXPECT_EQ(edited.Choice, TSoundChoice::Both);
    EXPECT_EQ(edited.MicrophoneLevel, 50);
    EXPECT_EQ(edited.SystemLevel, 200);
}

// The area row's menu: a monitor or a region chosen puts its size into the
// fields (one smaller where the codec takes only even sides), a cancelled
// pick changes nothing, and the choice survives a restart.
TEST_F(SettingWindowTest, TheAreaChosenSetsTheSizeAndIsKept) {
    WriteFile(File, "[Main]\nWidth=640\nHeight=480\n");
    auto window = Make();
    TAreaChoiceControls& choice = *window->AreaChoice;
    EXPECT_EQ(choice.BtnArea->text(), QStringLiteral("全屏"));
    EXPECT_GE(choice.Row->y(), window->SoundChoice->Row->y() + TSoundChoiceControls::kRowHeight);
    choice.Monitors = [] {
        return std::vector<TNamedMonitor>{{"A", {0, 0, 1920, 1080}, true},
                                          {"B", {1920, 0, 1280, 1024}, false}};
    };
    std::optional<TScreenRect> picked;
    choice.PickRegion = [&](std::optional<TScreenRect>) { return picked; };
    choice.ChooseRegion();
    EXPECT_EQ(choice.Area(), TCaptureArea{});
    EXPECT_EQ(window->Values().Width, 640);

    choice.Menu()->actions()[1]->menu()->aboutToShow();
    choice.Menu()->actions()[1]->menu()->actions()[1]->trigger();
    EXPECT_EQ(choice.BtnArea->text(), QStringLiteral("显示器 2 (1280×1024)"));
    EXPECT_EQ(window->Values().Width, 1280);

    picked = TScreenRect{10, 20, 801, 601};
    choice.ChooseRegion();
    EXPECT_EQ(choice.BtnArea->text(), QStringLiteral("区域 801×601"));
    EXPECT_EQ(window->Values().Width, 800);
    EXPECT_EQ(window->Values().Height, 600);
    SaveSetting(*window);
    EXPECT_NE(ReadFile(File).find("Area=region:10,20,801,601"), std::string::npos);
    EXPECT_EQ(Make()->AreaChoice->Area(), ParseCaptureArea("region:10,20,801,601"));
}

// Off in a file that never had it, and nothing written then; the minutes
// are kept while off, and a value out of range is brought into it.
TEST_F(SettingWindowTest, TheSegmentRowIsKeptOnlyOnceUsed) {
    WriteFile(File, "[Main]\nRate=3\n");
    auto window = Make();
    EXPECT_FALSE(window->SegmentRow->ChkSegment->isChecked());
    EXPECT_FALSE(window->SegmentRow->SpinMinutes->isEnabled());
    // Its own room beneath the area row, not over it.
    EXPECT_GE(window->SegmentRow->Row->y(),
              window->AreaChoice->Row->y() + TAreaChoiceControls::kRowHeight);
    SaveSetting(*window);
    EXPECT_EQ(ReadFile(File).find("Segment"), std::string::npos);

    window->SegmentRow->ChkSegment->setChecked(true);
    EXPECT_TRUE(window->SegmentRow->SpinMinutes->isEnabled());
    window->SegmentRow->SpinMinutes->setValue(30);
    SaveSetting(*window);
    EXPECT_EQ(Make()->SegmentRow->Setting(), (TSegmentSetting{true, 30}));
    window->SegmentRow->ChkSegment->setChecked(false);
    SaveSetting(*window);
    EXPECT_EQ(Make()->SegmentRow->Setting(), (TSegmentSetting{false, 30}));

    WriteFile(File, "[Main]\nSegmentMinutes=5000\n");
    EXPECT_EQ(Make()->SegmentRow->Setting(), (TSegmentSetting{true, 1440}));
    WriteFile(File, "[Main]\nSegmentMinutes=-2147483648\n");
    EXPECT_EQ(Make()->SegmentRow->Setting(), (TSegmentSetting{false, 1440}));
}

// The limit is off in a file that never had it, nothing is written then, and
// a limit of 0 in the file is off, not "delete everything".
TEST_F(SettingWindowTest, TheStorageLimitIsKeptOnlyOnceUsedAndNeverZero) {
    WriteFile(File, "[Main]\nRate=3\n");
    auto window = Make();
    TStorageLimitRow& row = *window->StorageLimitRow;
    EXPECT_FALSE(row.ChkLimit->isChecked());
    EXPECT_FALSE(row.SpinGigabytes->isEnabled());
    EXPECT_EQ(row.SpinGigabytes->minimum(), 1);
    EXPECT_GE(row.Row->y(), window->SegmentRow->Row->y() + TSegmentRow::kRowHeight);
    SaveSetting(*window);
    EXPECT_EQ(ReadFile(File).find("StorageLimit"), std::string::npos);

    row.ChkLimit->click();
    row.SpinGigabytes->setValue(20);
    SaveSetting(*window);
    EXPECT_EQ(Make()->StorageLimitRow->Setting(), (TStorageLimitSetting{true, 20}));
    row.ChkLimit->click();
    SaveSetting(*window);
    EXPECT_EQ(Make()->StorageLimitRow->Setting(), (TStorageLimitSetting{false, 20}));

    for (const char* line :
         {"StorageLimitGB=0", "StorageLimitGB=-2147483648", "StorageLimitGB=x"}) {
        WriteFile(File, std::string("[Main]\n") + line + "\n");
        EXPECT_FALSE(Make()->StorageLimitRow->Setting().On) << line;
    }
    WriteFile(File, "[Main]\nStorageLimitGB=2147483647\n");
    EXPECT_EQ(Make()->StorageLimitRow->Setting(),
              (TStorageLimitSetting{true, kMaxStorageGigabytes}));
}

// Turning the limit on, or lowering it, says what it would delete; No leaves
// it as it was. Nothing to delete: no question.
TEST_F(SettingWindowTest, TheStorageLimitAsksBeforeItWouldDelete) {
    WriteFile(File, "[Main]\n");
    auto window = Make();
    TStorageLimitRow& row = *window->StorageLimitRow;
    constexpr std::uint64_t kGB = kBytesPerGigabyte;
    // Recordings of 3 GB and 2 GB, the first the older.
    row.Preview = [](std::uint64_t limit) {
        return PlanStorageLimit({{"/v/a.avi", 1.0, 3 * kGB}, {"/v/b.avi", 2.0, 2 * kGB}}, {},
                                limit);
    };
    QStringList asked;
    bool yes = false;
    row.Ask = [&](QWidget*, const QString& text) {
        asked << text;
        return yes;
    };
    row.SpinGigabytes->setValue(4);
    row.ChkLimit->click();
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked[0].contains(QStringLiteral("1 个录像（共 3.0 GB）")))
        << asked[0].toStdString();
    EXPECT_FALSE(row.Setting().On);

    yes = true;
    row.ChkLimit->click();
    EXPECT_EQ(asked.size(), 2);
    EXPECT_EQ(row.Setting(), (TStorageLimitSetting{true, 4}));
    // Raising it deletes less: no question.
    row.SpinGigabytes->setValue(6);
    EXPECT_EQ(asked.size(), 2);
    // Lowering it so that more would go asks again, and No puts it back.
    yes = false;
    row.SpinGigabytes->setValue(1);
    ASSERT_EQ(asked.size(), 3);
    EXPECT_TRUE(asked[2].contains(QStringLiteral("2 个录像（共 5.0 GB）")));
    EXPECT_EQ(row.Setting(), (TStorageLimitSetting{true, 6}));
    // Off and on again under a limit nothing is over: not asked.
    row.ChkLimit->click();
    row.ChkLimit->click();
    EXPECT_EQ(asked.size(), 3);
    EXPECT_TRUE(row.Setting().On);
}

} // namespace
} // namespace vardocle
