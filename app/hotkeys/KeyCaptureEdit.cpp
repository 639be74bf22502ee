#include "app/hotkeys/KeyCaptureEdit.h"

#include "app/hotkeys/HotKeyCaptions.h"

#include <QKeyEvent>

namespace vardocle {

namespace {

// Keys typed with Shift on a US keyboard, as the key that carries them.
int UnshiftedKey(int key) {
    static const char kShifted[] = "!@#$%^&*()";
    static const char kDigits[] = "1234567890";
    for (int i = 0; kShifted[i] != 0; ++i)
        if (key == kShifted[i])
            return kDigits[i];
    switch (key) {
    case '_':
        return '-';
    case '+':
        return '=';
    case '{':
        return '[';
    case '}':
        return ']';
    case '|':
        return '\\';
    case ':':
        return ';';
    case '"':
        return '\'';
    case '<':
        return ',';
    case '>':
        return '.';
    case '?':
        return '/';
    case '~':
        return '`';
    default:
        return key;
    }
}

std::uint16_t VirtualKeyFor(int key) {
    key = UnshiftedKey(key);
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9))
        return static_cast<std::uint16_t>(key);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return static_cast<std::uint16_t>(0x70 + (key - Qt::Key_F1));
    switch (key) {
    case Qt::Key_Space:
        return 0x20;
    case Qt::Key_Tab:
        return 0x09;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 0x0D;
    case Qt::Key_Pause:
        return 0x13;
    case Qt::Key_PageUp:
        return 0x21;
    case Qt::Key_PageDown:
        return 0x22;
    case Qt::Key_End:
        return 0x23;
    case Qt::Key_Home:
        return 0x24;
    case Qt::Key_Left:
        return 0x25;
    case Qt::Key_Up:
        return 0x26;
    case Qt::Key_Right:
        return 0x27;
    case Qt::Key_Down:
        return 0x28;
    case Qt::Key_Print:
        return 0x2C;
    case Qt::Key_Insert:
        return 0x2D;
    case Qt::Key_Delete:
        return 0x2E;
    case Qt::Key_Backspace:
        return 0x08;
    case ';':
        return 0xBA;
    case '=':
        return 0xBB;
    case ',':
        return 0xBC;
    case '-':
        return 0xBD;
    case '.':
        return 0xBE;
    case '/':
        return 0xBF;
    case '`':
        return 0xC0;
    case '[':
        return 0xDB;
    case '\\':
        return 0xDC;
    case ']':
        return 0xDD;
    case '\'':
        return 0xDE;
    default:
        return 0;
    }
}

} // namespace

std::optional<THotKey> HotKeyForQtKey(int key, Qt::KeyboardModifiers modifiers) {
    const std::uint16_t code = VirtualKeyFor(key);
    if (code == 0)
        return std::nullopt;
    std::uint16_t flags = 0;
    if (modifiers & Qt::ShiftModifier)
        flags |= MOD_SHIFT;
    if (modifiers & Qt::ControlModifier)
        flags |= MOD_CONTROL;
    if (modifiers & Qt::AltModifier)
        flags |= MOD_ALT;
    if (modifiers & Qt::MetaModifier)
        flags |= MOD_WIN;
    return MakeHotKeyValue(flags, code);
}

bool FitForGlobalHotKey(THotKey key) {
    if (key & (HOTKEY_CTRL | HOTKEY_ALT | HOTKEY_WIN))
        return true;
    const THotKey code = key & 0xFF;
    const bool alone = (key & HOTKEY_SHIFT) == 0;
    return (code >= 0x70 && code <= 0x87) || (alone && (code == 0x13 || code == 0x2C));
}

TKeyCaptureEdit::TKeyCaptureEdit(QWidget* parent) : QLineEdit(parent) {
    setReadOnly(true);
    setAlignment(Qt::AlignCenter);
    setContextMenuPolicy(Qt::NoContextMenu);
    SetKey(0);
}

void TKeyCaptureEdit::SetKey(THotKey key) {
    FKey = key;
    setText(HotKeyCaption(key, false));
}

// Tab and Backtab are combinations too while the field has the focus.
bool TKeyCaptureEdit::event(QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        keyPressEvent(static_cast<QKeyEvent*>(event));
        return true;
    }
    return QLineEdit::event(event);
}

void TKeyCaptureEdit::keyPressEvent(QKeyEvent* event) {
    event->accept();
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key() == Qt::Key_Backtab ? int(Qt::Key_Tab) : event->key();
    if (modifiers == Qt::NoModifier && key == Qt::Key_Escape) {
        SetKey(FKey);
        clearFocus();
        return;
    }
    if (modifiers == Qt::NoModifier && (key == Qt::Key_Backspace || key == Qt::Key_Delete)) {
        emit Pressed(0);
        return;
    }
    if (const std::optional<THotKey> value = HotKeyForQtKey(key, modifiers))
        emit Pressed(*value);
}

void TKeyCaptureEdit::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    setText(QStringLiteral("请按组合键"));
}

void TKeyCaptureEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    SetKey(FKey);
}

} // namespace vardocle
