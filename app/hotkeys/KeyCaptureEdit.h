#pragma once
// A field that takes a key combination by having it pressed: the field
// shows the combination, Backspace or Delete alone clears it (no hotkey),
// Escape gives the field back without a change.
#include "hotkeys/HotKeyValue.h"

#include <QLineEdit>

#include <functional>
#include <optional>

namespace vardocle {

// The hotkey value for a key pressed with `modifiers` (Qt's key codes); nothing
// for a key that has no virtual-key code, or a modifier pressed alone.
std::optional<THotKey> HotKeyForQtKey(int key, Qt::KeyboardModifiers modifiers);

// True when the combination is fit to be taken from every program: it has
// Ctrl, Alt or Win, or is a function key (F1–F24), Pause or Print alone.
bool FitForGlobalHotKey(THotKey key);

class TKeyCaptureEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TKeyCaptureEdit(QWidget* parent = nullptr);

    THotKey Key() const { return FKey; }
    // Shows `key` without raising Pressed.
    void SetKey(THotKey key);
    // A combination the desktop gave to this program's own hotkeys while the
    // field had the focus: taken as if pressed here.
    void Take(THotKey key) { emit Pressed(key); }

signals:
    // The user pressed a combination (0: cleared); the owner decides whether
    // to take it and calls SetKey.
    void Pressed(THotKey key);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    THotKey FKey = 0;
};

} // namespace vardocle
