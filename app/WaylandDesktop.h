#pragma once
// The windowed program on a Wayland desktop: it runs through Xwayland (its
// skinned windows need their own places and shapes), and tells the user once
// what differs there: the desktop's portal cannot leave see-through windows
// out, and hotkeys reach it only while one of its windows has the focus.
#include <QString>

class QWidget;

namespace vardocle {

class TFrmSetting;

// Before the application object exists: the X11 platform, unless the user
// asked for another one.
void PreferXwayland();

// The notice for this desktop; empty when nothing differs (X11).
// `desktopShortcuts`: the hotkeys go through the desktop's own shortcuts.
QString WaylandNoticeText(bool waylandScreen, bool recordTransparent, bool desktopShortcuts);

// Shows the notice (not modal) beside `owner` and puts the see-through
// remark on the option's tooltip. Nothing on an X11 desktop.
void NoteWaylandDesktop(QWidget& owner, TFrmSetting& setting);

} // namespace vardocle
