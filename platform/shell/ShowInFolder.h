#pragma once
// Opens the folder that holds a file in the desktop's file manager, with the
// file selected where the file manager offers that (the freedesktop
// FileManager1 service on the session bus); otherwise the folder alone.
#include <QString>

namespace vardocle {

// Returns at once; the file manager answers in the background.
void ShowFileInFolder(const QString& file);

} // namespace vardocle
