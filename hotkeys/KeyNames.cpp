#include "hotkeys/KeyNames.h"

#include <QKeySequence>

namespace vardocle {

namespace {

struct TKeyName {
    std::uint8_t Key;
    const char* Name;
    int QtKey; // 0 when the toolkit has no name of its own for it
};

constexpr TKeyName kKeyNames[] = {
    {0x08, "Backspace", Qt::Key_Backspace},
    {0x09, "Tab", Qt::Key_Tab},
    {0x0C, "Num 5", 0},
    {0x0D, "Enter", Qt::Key_Return},
    {0x10, "Shift", Qt::Key_Shift},
    {0x11, "Ctrl", Qt::Key_Control},
    {0x12, "Alt", Qt::Key_Alt},
    {0x13, "Pause", Qt::Key_Pause},
    {0x14, "Caps Lock", Qt::Key_CapsLock},
    {0x1B, "Esc", Qt::Key_Escape},
    {0x20, "Space", Qt::Key_Space},
    {0x21, "Page Up", Qt::Key_PageUp},
    {0x22, "Page Down", Qt::Key_PageDown},
    {0x23, "End", Qt::Key_End},
    {0x24, "Home", Qt::Key_Home},
    {0x25, "Left", Qt::Key_Left},
    {0x26, "Up", Qt::Key_Up},
    {0x27, "Right", Qt::Key_Right},
    {0x28, "Down", Qt::Key_Down},
    {0x2C, "Print Screen", Qt::Key_Print},
    {0x2D, "Insert", Qt::Key_Insert},
    {0x2E, "Delete", Qt::Key_Delete},
    {0x5B, "Left Windows", 0},
    {0x5C, "Right Windows", 0},
    {0x5D, "Application", Qt::Key_Menu},
    {0x6A, "Num *", 0},
    {0x6B, "Num +", 0},
    {0x6D, "Num -", 0},
    {0x6E, "Num Del", 0},
    {0x6F, "Num /", 0},
    {0x90, "Num Lock", Qt::Key_NumLock},
    {0x91, "Scroll Lock", Qt::Key_ScrollLock},
    {0xA0, "Shift", Qt::Key_Shift},
    {0xA1, "Right Shift", 0},
    {0xA2, "Ctrl", Qt::Key_Control},
    {0xA3, "Right Ctrl", 0},
    {0xA4, "Alt", Qt::Key_Alt},
    {0xA5, "Right Alt", 0},
    {0xBA, ";", 0},
    {0xBB, "=", 0},
    {0xBC, ",", 0},
    {0xBD, "-", 0},
    {0xBE, ".", 0},
    {0xBF, "/", 0},
    {0xC0, "`", 0},
    {0xDB, "[", 0},
    {0xDC, "\\", 0},
    {0xDD, "]", 0},
    {0xDE, "'", 0},
};

const TKeyName* Find(std::uint8_t key) {
    for (const auto& entry : kKeyNames)
        if (entry.Key == key)
            return &entry;
    return nullptr;
}

// The toolkit's key for codes it can name; 0 otherwise.
int QtKeyOf(std::uint8_t key) {
    if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z'))
        return key; // the toolkit's codes for these are the same characters
    if (key >= 0x70 && key <= 0x87)
        return Qt::Key_F1 + (key - 0x70);
    const TKeyName* entry = Find(key);
    return entry ? entry->QtKey : 0;
}

} // namespace

QString UsKeyName(std::uint8_t key) {
    if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z'))
        return QString(QChar(key));
    if (key >= 0x60 && key <= 0x69)
        return QStringLiteral("Num %1").arg(key - 0x60);
    if (key >= 0x70 && key <= 0x87)
        return QStringLiteral("F%1").arg(key - 0x70 + 1);
    const TKeyName* entry = Find(key);
    return entry ? QString::fromLatin1(entry->Name) : QString();
}

QString LocalizedKeyName(std::uint8_t key) {
    const int qtKey = QtKeyOf(key);
    if (qtKey == 0)
        return UsKeyName(key);
    // A modifier key is named as it reads in front of another key ("Ctrl",
    // where the bare key would read "Control").
    int modifier = 0;
    if (qtKey == Qt::Key_Shift)
        modifier = Qt::SHIFT;
    else if (qtKey == Qt::Key_Control)
        modifier = Qt::CTRL;
    else if (qtKey == Qt::Key_Alt)
        modifier = Qt::ALT;
    QString name;
    if (modifier != 0) {
        name = QKeySequence(modifier | Qt::Key_A).toString(QKeySequence::NativeText);
        name.chop(2); // "+A"
    } else {
        name = QKeySequence(qtKey).toString(QKeySequence::NativeText);
    }
    return name.isEmpty() ? UsKeyName(key) : name;
}

} // namespace vardocle
