#pragma once
// What the user reads when the history file needs attention.
#include "history/HistoryFile.h"

#include <QString>
#include <exception>

namespace vardocle {

// After an append or a removal dropped an incomplete record; empty when the
// operation dropped nothing.
QString HistoryRepairNotice(const HistoryRepair& repair);

// The text of the error box for a failed history operation: the error's own
// message, explained in a second paragraph where the user can act on it.
QString HistoryErrorText(const std::exception& error);

} // namespace vardocle
