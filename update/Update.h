#pragma once
// The update library's entry point: one call per program start.
#include "update/UpdateExport.h"

class QWidget;

namespace vardocle {

// Fetches the update description at `url` in the background and returns at
// once. When it names a version newer than the running one, a dialog offers
// the download page; otherwise (same or older version, unreachable site,
// time-out, not a description) nothing is shown. `window` is the program's
// main window: the dialog belongs to it, and the check ends with it. A null
// or empty `url` does nothing.
VARDOCLE_UPDATE_API void DoUpdate(QWidget* window, const char* url);

} // namespace vardocle
