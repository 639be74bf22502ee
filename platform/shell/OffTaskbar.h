#pragma once
// Windows that belong to the program's main window (the settings, the
// advertisement) get no button of their own in the desktop's task bar or
// pager: one program, one button.
class QWidget;

namespace vardocle {

// From now on, every time `window` is shown. Does nothing where the desktop
// has no such list (no X11 window system).
void KeepOffTaskbar(QWidget& window);

} // namespace vardocle
