// The hotkey rows of the settings window on Qt's offscreen platform, over a
// desktop stand-in that holds some keys for "another program"; where the keys
// in use are named; the exit question's text as the installed fonts set it.
#include "app/hotkeys/HotKeyPage.h"
#include "app/HotKeyTable.h"
#include "app/hotkeys/HotKeyBindings.h"
#include "app/hotkeys/HotKeyCaptions.h"
#include "app/hotkeys/KeyCaptureEdit.h"
#include "app/uFrmAskExit.h"
#include "app/uFrmSetting.h"
#include "services/uFrmHelp.h"
#include "skin/ImageButton.h"

#include "tests/support/TestSupport.h"
#include "tests/unit/hotkeys/RecordingHotKeyReceiver.h"
#include "tests/unit/settings/SettingFiles.h"

#include <QAction>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace vardocle {
namespace {

const THotKey kCtrlShiftJ = MakeHotKeyValue(MOD_CONTROL | MOD_SHIFT, 'J');
const THotKey kCtrlShiftK = MakeHotKeyValue(MOD_CONTROL | MOD_SHIFT, 'K');

class HotKeyPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto receiver = std::make_unique<test::TRecordingHotKeyReceiver>(Log);
        Manager = std::make_unique<THotKeyManager>(nullptr, std::move(receiver), Atoms);
        Log->Refused.insert({MOD_CONTROL | MOD_SHIFT, 'K'}); // another program holds it
    }
    void Press(std::size_t row, Qt::Key key, Qt::KeyboardModifiers modifiers) {
        QTest::keyClick(Page.EditKeys[row], key, modifiers);
    }
    std::shared_ptr<test::TReceiverLog> Log = std::make_shared<test::TReceiverLog>();
    TAtomTable Atoms;
    std::unique_ptr<THotKeyManager> Manager;
    THotKeyPage Page;
};

TEST_F(HotKeyPageTest, APressedCombinationIsTakenOnlyWhenNoOneElseHoldsIt) {
    THotKeyBindings keys(*Manager, DefaultHotKeys());
    Page.Attach(&keys);
    EXPECT_EQ(Page.EditKeys[RowShowHide]->text(), "Ctrl+S");
    const std::uint16_t oldId = keys.Ids()[RowShowHide];
    ASSERT_NE(oldId, 0);

    // Held by another program: refused with a note, Ctrl+S kept all along.
    Press(RowShowHide, Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(Page.LabNote->text().contains("Ctrl+Shift+K 已被其他程序占用"))
        << Page.LabNote->text().toStdString();
    EXPECT_EQ(keys.Keys()[RowShowHide], kHotKeyTable[RowShowHide]);
    EXPECT_TRUE(Log->Held.count(oldId));
    // Another row's key, and a key that would swallow typing, are refused too.
    Press(RowShowHide, Qt::Key_2, Qt::AltModifier);
    EXPECT_TRUE(Page.LabNote->text().contains("另一个热键"));
    Press(RowShowHide, Qt::Key_K, Qt::ShiftModifier);
    EXPECT_TRUE(Page.LabNote->text().contains("Ctrl、Alt 或 Win"));
    EXPECT_EQ(keys.Keys()[RowShowHide], kHotKeyTable[RowShowHide]);

    // A free combination replaces Ctrl+S, which is given back to the desktop.
    Press(RowShowHide, Qt::Key_J, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(keys.Keys()[RowShowHide], kCtrlShiftJ);
    EXPECT_FALSE(Log->Held.count(oldId));
    EXPECT_TRUE(Log->Held.count(keys.Ids()[RowShowHide]));
    EXPECT_EQ(Page.EditKeys[RowShowHide]->text(), "Ctrl+Shift+J");
    // A press of the new key reaches the owner with the row's identifier.
    std::pair<THotKey, std::uint16_t> pressed{};
    Manager->OnHotKeyPressed = [&](THotKey key, std::uint16_t id) { pressed = {key, id}; };
    Log->Press(keys.Ids()[RowShowHide], MOD_CONTROL | MOD_SHIFT, 'J');
    EXPECT_EQ(pressed, std::make_pair(kCtrlShiftJ, keys.Ids()[RowShowHide]));

    // Turned off: nothing held for the row any more.
    const std::uint16_t newId = keys.Ids()[RowShowHide];
    Page.BtnOff[RowStop]->click();
    Press(RowShowHide, Qt::Key_Backspace, Qt::NoModifier);
    EXPECT_EQ(keys.Keys()[RowShowHide], 0u);
    EXPECT_EQ(keys.Keys()[RowStop], 0u);
    EXPECT_FALSE(Log->Held.count(newId));
    EXPECT_EQ(Page.EditKeys[RowStop]->text(), "无");
    EXPECT_FALSE(Page.BtnOff[RowStop]->isEnabled());
    EXPECT_EQ(Log->Held.size(), 4u);
}

TEST(HotKeySettingFile, ChangedKeysFollowTheOptionsAndAreReadBack) {
    test::TempDir dir;
    const std::filesystem::path file = dir.Path() / "Setting.ini";
    const std::string before = "[Main]\r\nPath=/opt/x/\r\nRecordCursor=1\r\nRecordTrans=0\r\n"
                               "Rate=2\r\nWidth=1024\r\nHeight=768\r\nCodec=mjpeg\r\n"
                               "HotKeyStop=abc\r\n";
    test::WriteFile(file, before);
    {
        TFrmSetting window(nullptr, file);
        window.HotKeys->ChooseKey(RowShowHide, kCtrlShiftJ);
        window.HotKeys->ChooseKey(RowPause, 0);
        SaveSetting(window);
    }
    // The options and their order stay; a key the user kept at its default
    // is not added, one the file had is written back as it is now.
    EXPECT_EQ(test::ReadFile(file), "[Main]\r\nPath=/opt/x/\r\nRecordCursor=1\r\nRecordTrans=0\r\n"
                                    "Rate=2\r\nWidth=1024\r\nHeight=768\r\nCodec=mjpeg\r\n"
                                    "HotKeyStop=0x8034\r\nHotKeyPause=0x0\r\n"
                                    "HotKeyShowHide=0x604A\r\n");
    THotKeySet expected = DefaultHotKeys();
    expected[RowShowHide] = kCtrlShiftJ;
    expected[RowPause] = 0;
    EXPECT_EQ(LoadHotKeySettings(file), expected);

    // The first start's word is remembered in the settings file only; no
    // file is made for it, which would pass for an old one at the next start.
    EXPECT_FALSE(HotKeysAnnounced(file));
    MarkHotKeysAnnounced(file);
    EXPECT_TRUE(HotKeysAnnounced(file));
    MarkHotKeysAnnounced(dir.Path() / "None.ini");
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "None.ini"));
    EXPECT_TRUE(HotKeysAnnouncement(expected).contains("显示/隐藏 Ctrl+Shift+J"));
    EXPECT_FALSE(HotKeysAnnouncement(expected).contains("暂停"));
}

TEST(HotKeyCaptionsTest, TheKeysInUseAreNamedOnButtonsMenuAndHelp) {
    TImageButton start;
    TImageButton close;
    QAction startItem;
    QAction quitItem;
    TFrmHelp help(nullptr);
    const THotKeyPlaces places{{&start, nullptr, nullptr, nullptr, nullptr, &close},
                               {&startItem, nullptr, nullptr, nullptr, nullptr, &quitItem},
                               &help};
    ShowHotKeysInUse(DefaultHotKeys(), {}, places);
    // The defaults read exactly as the windows always named them.
    EXPECT_EQ(start.Hint(), "热键(Alt+1)");
    EXPECT_EQ(close.Hint(), "热键:Alt+Q");
    EXPECT_EQ(startItem.text(), "录制 (Alt + 1)");
    EXPECT_EQ(quitItem.text(), "退出 (Alt + Q)");
    EXPECT_EQ(help.Label5->text(), "显示/隐藏:Ctrl + S");
    EXPECT_EQ(help.Label2->pos(), QPoint(105, 24));
    EXPECT_EQ(HideBalloonText(kHotKeyTable[RowShowHide]),
              "我在这里哦!要重新显示，请点击图标或者重复按(Ctrl+S)重新显示!");

    THotKeySet keys = DefaultHotKeys();
    keys[RowStart] = kCtrlShiftJ;
    keys[RowExit] = 0;
    ShowHotKeysInUse(keys, {true, false, false, false, false, false}, places);
    EXPECT_TRUE(start.Hint().startsWith("热键(Ctrl+Shift+J)")) << start.Hint().toStdString();
    EXPECT_TRUE(start.Hint().contains("占用"));
    EXPECT_TRUE(help.Label1->font().strikeOut());
    EXPECT_EQ(help.Label1->text(), "录制:Ctrl + Shift + J");
    // The longer name pushes the next one along instead of running into it.
    EXPECT_GT(help.Label2->x(), help.Label1->geometry().right());
    EXPECT_EQ(quitItem.text(), "退出");
    EXPECT_EQ(help.Label6->text(), "退出:无");
    EXPECT_FALSE(help.Label6->font().strikeOut());
}

TEST(AskExitLayoutTest, TheQuestionIsWholeAboveTheButtons) {
    TFrmAskExit dialog;
    const QString question = QStringLiteral("Vardocle正在录制当中，你确定要退出?");
    dialog.SetMessage(question);
    const QFontMetrics metrics(dialog.LblMsg->font());
    const QRect lines =
        metrics.boundingRect(QRect(0, 0, dialog.LblMsg->width(), 1000), Qt::TextWordWrap, question);
    EXPECT_EQ(dialog.LblMsg->pos(), QPoint(63, 13));
    EXPECT_GE(dialog.LblMsg->height(), lines.height());
    EXPECT_LE(dialog.LblMsg->geometry().bottom(), dialog.BtnYes->y());
    EXPECT_LE(dialog.BtnYes->geometry().bottom(), dialog.height());
    EXPECT_EQ(dialog.BtnNo->y(), dialog.BtnYes->y());
}

} // namespace
} // namespace vardocle
