#include "platform/screen/CaptureLayout.h"

#include <algorithm>

namespace vardocle {

bool TScreenRect::Contains(const TScreenRect& other) const {
    return !Empty() && other.X >= X && other.Y >= Y && other.X + other.Width <= X + Width &&
           other.Y + other.Height <= Y + Height;
}

TScreenRect TScreenRect::Intersect(const TScreenRect& other) const {
    const int left = std::max(X, other.X);
    const int top = std::max(Y, other.Y);
    const int right = std::min(X + Width, other.X + other.Width);
    const int bottom = std::min(Y + Height, other.Y + other.Height);
    if (right <= left || bottom <= top)
        return {left, top, 0, 0};
    return {left, top, right - left, bottom - top};
}

TScreenRect ChoosePrimaryMonitor(const std::vector<TMonitor>& monitors, int rootWidth,
                                 int rootHeight) {
    const TScreenRect root{0, 0, rootWidth, rootHeight};
    auto usable = [&](const TMonitor& monitor) { return !monitor.Area.Intersect(root).Empty(); };
    const TMonitor* chosen = nullptr;
    for (const auto& monitor : monitors)
        if (monitor.Primary && usable(monitor)) {
            chosen = &monitor;
            break;
        }
    if (!chosen)
        for (const auto& monitor : monitors)
            if (monitor.Area.X == 0 && monitor.Area.Y == 0 && usable(monitor)) {
                chosen = &monitor;
                break;
            }
    if (!chosen)
        for (const auto& monitor : monitors)
            if (usable(monitor)) {
                chosen = &monitor;
                break;
            }
    // A monitor reaching past the root (the root shrank first) is cut to it.
    return chosen ? chosen->Area.Intersect(root) : root;
}

bool IsSeeThrough(const TWindowLook& look) {
    return look.OwnProcess || look.ShapedBounding || look.AlphaVisual ||
           (look.Opacity && *look.Opacity < 0xFFFFFFFFu);
}

TPaintPlan PlanPaint(const std::vector<TTopLevel>& windows, const TScreenRect& area) {
    TPaintPlan plan;
    for (std::size_t i = 0; i < windows.size(); ++i) {
        const TTopLevel& window = windows[i];
        if (!window.Viewable || window.InputOnlyWindow || IsSeeThrough(window.Look))
            continue;
        const TScreenRect visible = window.Area.Intersect(area);
        if (visible.Empty())
            continue;
        // Everything below an opaque window covering the whole area is hidden.
        if (window.Area.Contains(area)) {
            plan.Background = false;
            plan.Steps.clear();
        }
        plan.Steps.push_back({i, visible.X - window.Area.X, visible.Y - window.Area.Y,
                              visible.X - area.X, visible.Y - area.Y, visible.Width,
                              visible.Height});
    }
    return plan;
}

} // namespace vardocle
