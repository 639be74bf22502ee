#include "hotkeys/HotKeyText.h"
#include "hotkeys/KeyNames.h"

#include "QStringPrinter.h"

#include <gtest/gtest.h>

namespace vardocle {
namespace {

TEST(HotKeyValue, ModifiersTakeTheirBitsAndTheKeyIsAdded) {
    EXPECT_EQ(MakeHotKeyValue(MOD_ALT, 0x31), 0x8031u);
    EXPECT_EQ(MakeHotKeyValue(MOD_CONTROL, 'S'), 0x4053u);
    EXPECT_EQ(MakeHotKeyValue(MOD_CONTROL | MOD_ALT, 'Q'), 0xC051u);
    EXPECT_EQ(MakeHotKeyValue(MOD_WIN | MOD_ALT | MOD_SHIFT | MOD_CONTROL, 0x24), 0x1E024u);
    EXPECT_EQ(MakeHotKeyValue(0, 0x70), 0x70u);
}

TEST(HotKeyValue, SplitGivesFlagsAndOnlyTheLowEightBitsOfTheKey) {
    auto parts = SplitHotKeyValue(0x8031);
    EXPECT_EQ(parts.Modifiers, MOD_ALT);
    EXPECT_EQ(parts.Key, 0x31);

    parts = SplitHotKeyValue(0x1E024);
    EXPECT_EQ(parts.Modifiers, MOD_WIN | MOD_ALT | MOD_CONTROL | MOD_SHIFT);
    EXPECT_EQ(parts.Key, 0x24);

    // Bits 8–12 are no modifier and no part of the key.
    parts = SplitHotKeyValue(0x8000 | 0x1F31);
    EXPECT_EQ(parts.Modifiers, MOD_ALT);
    EXPECT_EQ(parts.Key, 0x31);

    for (THotKey value : {0x8031u, 0x4053u, 0xC051u, 0x1E024u, 0x2070u})
        EXPECT_EQ(MakeHotKeyValue(SplitHotKeyValue(value).Modifiers, SplitHotKeyValue(value).Key),
                  value);
}

TEST(HotKeyText, ModifiersAlwaysReadCtrlShiftAltWin) {
    const THotKey all = MakeHotKeyValue(MOD_WIN | MOD_ALT | MOD_SHIFT | MOD_CONTROL, 0x24);
    EXPECT_EQ(HotKeyDisplayText(all, false), "Ctrl+Shift+Alt+Win+Home");
    EXPECT_EQ(HotKeyDisplayText(0xC051, false), "Ctrl+Alt+Q");
    EXPECT_EQ(HotKeyDisplayText(0xA031, false), "Shift+Alt+1");
    EXPECT_EQ(HotKeyDisplayText(0x70, false), "F1");
    EXPECT_EQ(HotKeyDisplayText(0x4087, false), "Ctrl+F24");
}

TEST(HotKeyText, UsNamesFollowAUsKeyboard) {
    EXPECT_EQ(HotKeyDisplayText(0x21, false), "Page Up");
    EXPECT_EQ(HotKeyDisplayText(0x2E, false), "Delete");
    EXPECT_EQ(HotKeyDisplayText(0x67, false), "Num 7"); // not Home: the keypad key
    EXPECT_EQ(HotKeyDisplayText(0x6A, false), "Num *");
    EXPECT_EQ(HotKeyDisplayText(0x1B, false), "Esc");
    EXPECT_EQ(HotKeyDisplayText(0xBA, false), ";");
}

TEST(HotKeyText, UnnamedMediaKeysReadTheirMediaNames) {
    EXPECT_EQ(HotKeyDisplayText(179, false), "Play/Pause Media");
    EXPECT_EQ(HotKeyDisplayText(179, true), "Play/Pause Media");
    EXPECT_EQ(HotKeyDisplayText(0x8000 | 166, false), "Alt+Browser Back");
    EXPECT_EQ(HotKeyDisplayText(183, false), "Start Application 2");
}

TEST(HotKeyText, KeyWithoutANameLeavesTheModifierTextAlone) {
    EXPECT_EQ(UsKeyName(0x07), "");
    EXPECT_EQ(HotKeyDisplayText(0x4000 | 0x07, false), "Ctrl+");
    EXPECT_EQ(HotKeyDisplayText(0xFF, true), "");
}

TEST(HotKeyText, LocalizedTextUsesTheStartUpNames) {
    InitializeHotKeyNames();
    // The toolkit's own names in the untranslated language.
    EXPECT_EQ(ShiftKeyName, "Shift");
    EXPECT_EQ(CtrlKeyName, "Ctrl");
    EXPECT_EQ(AltKeyName, "Alt");
    EXPECT_EQ(WinKeyName, "Win"); // "Alt" is not written in capitals
    EXPECT_EQ(HotKeyDisplayText(0xC051, true), "Ctrl+Alt+Q");
    EXPECT_EQ(HotKeyDisplayText(0x74, true), "F5");

    const QString savedCtrl = CtrlKeyName;
    CtrlKeyName = QStringLiteral("Strg");
    EXPECT_EQ(HotKeyDisplayText(0x4053, true), "Strg+S");
    EXPECT_EQ(HotKeyDisplayText(0x4053, false), "Ctrl+S");
    CtrlKeyName = savedCtrl;

    FinalizeHotKeyNames();
    EXPECT_TRUE(AltKeyName.isEmpty());
    InitializeHotKeyNames();
}

} // namespace
} // namespace vardocle
