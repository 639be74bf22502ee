#pragma once
// A pick form of --area chosen on the screen, as the window program does it.
#include "platform/screen/CaptureArea.h"

#include <optional>

namespace vardocle {

// The region drawn or the window clicked (or chosen from the list) in the
// overlay; none when the user pressed Esc. A QApplication must exist.
std::optional<TCaptureArea> PickAreaOnScreen(const TCaptureArea& pick);

} // namespace vardocle
