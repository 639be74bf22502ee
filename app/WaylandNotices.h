#pragma once
// What the windowed program tells the user once when it records a Wayland
// desktop: the desktop's portal cannot leave see-through windows out, and
// hotkeys reach the program only while one of its windows has the focus.
#include <QString>

class QWidget;

namespace vardocle {

class TFrmSetting;

// The notice for this desktop; empty when nothing differs (X11).
QString WaylandNoticeText(bool waylandScreen, bool recordTransparent);

// Shows the notice (not modal) beside `owner` and puts the see-through
// remark on the option's tooltip. Nothing on an X11 desktop.
void NoteWaylandDesktop(QWidget& owner, TFrmSetting& setting);

} // namespace vardocle
