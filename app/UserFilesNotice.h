#pragma once
// Tells the user once, at start-up, when this run cannot keep its settings
// and history; recording works as usual.
#include "platform/base/UserFilesFolder.h"

#include <QString>

class QWidget;

namespace vardocle {

// Empty when the files can be kept.
QString UserFilesProblemText(const TUserFilesFolder& files);

// A box that does not hold up the program, owned by `owner`.
void NoteUserFilesProblem(QWidget& owner);

} // namespace vardocle
