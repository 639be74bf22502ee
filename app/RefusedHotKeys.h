#pragma once
// What the user is told about hotkeys another program holds: they do
// nothing in this program, and the command line is the way around them.
#include <QString>
#include <QStringList>

namespace vardocle {

// The tray balloon naming each refused key ("Alt+1"); empty when none was.
QString RefusedHotKeysNotice(const QStringList& refused);

// A button's hint or a menu item's text, marked as not working.
QString RefusedHint(const QString& hint);

} // namespace vardocle
