#pragma once
// The program as the desktop knows it: its icon on every window, dialog and
// message box (the window list and task bar show it too), and the name of
// its desktop entry, by which the desktop finds its menu entry and icon.
#include <QIcon>

namespace vardocle {

// The program's icon at every size it is drawn in.
QIcon ProgramIcon();

// After the application object exists, before the first window.
void ApplyProgramIdentity();

} // namespace vardocle
