#include "hotkeys/HotKeyText.h"

#include "hotkeys/KeyNames.h"

namespace vardocle {

const std::array<const char*, 18> MediaKeyNames = {
    "Browser Back",        "Browser Forward",    "Browser Refresh",    "Browser Stop",
    "Browser Search",      "Browser Favorites",  "Browser Start/Home", "Volume Mute",
    "Volume Down",         "Volume Up",          "Next Track",         "Previous Track",
    "Stop Media",          "Play/Pause Media",   "Start Mail",         "Select Media",
    "Start Application 1", "Start Application 2"};

QString ShiftKeyName = QStringLiteral("Shift");
QString CtrlKeyName = QStringLiteral("Ctrl");
QString AltKeyName = QStringLiteral("Alt");
QString WinKeyName = QStringLiteral("Win");

QString HotKeyDisplayText(THotKey HotKey, bool Localized) {
    const auto key = static_cast<std::uint8_t>(HotKey & 0xFF);
    QString keyText = Localized ? LocalizedKeyName(key) : UsKeyName(key);
    if (keyText.size() <= 1 && key >= kFirstMediaKey && key <= kLastMediaKey)
        keyText = QString::fromLatin1(MediaKeyNames[key - kFirstMediaKey]);

    struct TModifier {
        THotKey Bit;
        const QString& LocalName;
        const char* FixedName;
    };
    const TModifier modifiers[] = {{HOTKEY_CTRL, CtrlKeyName, "Ctrl"},
                                   {HOTKEY_SHIFT, ShiftKeyName, "Shift"},
                                   {HOTKEY_ALT, AltKeyName, "Alt"},
                                   {HOTKEY_WIN, WinKeyName, "Win"}};
    QString text;
    for (const auto& modifier : modifiers)
        if (HotKey & modifier.Bit)
            text += (Localized ? modifier.LocalName : QString::fromLatin1(modifier.FixedName)) +
                    QLatin1Char('+');
    return text + keyText;
}

void InitializeHotKeyNames() {
    WinKeyName = QStringLiteral("Win");
    ShiftKeyName = HotKeyDisplayText(0x10, true);
    CtrlKeyName = HotKeyDisplayText(0x11, true);
    AltKeyName = HotKeyDisplayText(0x12, true);
    // A keyboard that writes its Alt key in capitals gets the Win key written
    // the same way.
    bool capitals = true;
    for (QChar c : AltKeyName)
        capitals = capitals && c >= QLatin1Char('A') && c <= QLatin1Char('Z');
    if (capitals)
        WinKeyName = QStringLiteral("WIN");
}

void FinalizeHotKeyNames() {
    ShiftKeyName.clear();
    CtrlKeyName.clear();
    AltKeyName.clear();
    WinKeyName.clear();
}

} // namespace vardocle
