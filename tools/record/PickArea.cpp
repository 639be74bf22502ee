#include "tools/record/PickArea.h"

#include "app/area/AreaWindows.h"
#include "app/area/uFrmAreaPick.h"

namespace vardocle {

std::optional<TCaptureArea> PickAreaOnScreen(const TCaptureArea& pick) {
    TCaptureArea chosen;
    chosen.Kind = pick.Kind;
    if (pick.Kind == TAreaKind::Region) {
        const auto region = PickRegionOnDesktop();
        if (!region)
            return std::nullopt;
        chosen.Region = *region;
        return chosen;
    }
    const auto window = PickWindowOnDesktop(TAreaWindows::System());
    if (!window)
        return std::nullopt;
    chosen.Window = window->Id;
    return chosen;
}

} // namespace vardocle
