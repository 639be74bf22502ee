#include "skin/ImageButtonLayout.h"

#include <algorithm>
#include <cmath>

namespace vardocle {

ARGB ColorToARGB(TColor color) {
    const ARGB red = color & 0xFF;
    const ARGB green = (color >> 8) & 0xFF;
    const ARGB blue = (color >> 16) & 0xFF;
    return 0xFF000000u + red * 65536 + green * 256 + blue;
}

TColor QColorToTColor(const QColor& color) {
    const QColor rgb = color.toRgb();
    return static_cast<TColor>(rgb.red()) | static_cast<TColor>(rgb.green()) << 8 |
           static_cast<TColor>(rgb.blue()) << 16;
}

bool TVisualState::MouseEnter(bool enabled) {
    if (!enabled || MouseDown || State == stChecked)
        return false;
    State = stHot;
    return true;
}

bool TVisualState::MouseLeave(bool enabled) {
    if (!enabled || MouseDown || State == stChecked)
        return false;
    State = stNormal;
    return true;
}

bool TVisualState::MouseButtonDown(bool enabled, bool leftButton) {
    if (!enabled || !leftButton || State == stChecked)
        return false;
    State = stDown;
    MouseDown = true;
    return true;
}

bool TVisualState::MouseButtonUp(bool enabled, bool leftButton, bool cursorOverThis) {
    if (!enabled || !leftButton || State == stChecked)
        return false;
    State = cursorOverThis ? stHot : stNormal;
    MouseDown = false;
    return true;
}

void TVisualState::EnabledChanged() {
    State = stNormal;
    MouseDown = false;
}

int BorderFrameIndex(std::uint8_t state, bool enabled) {
    return enabled ? int{state} : int{stDisabledFrame};
}

int GlyphFrameIndex(int frameIndex, int glyphNumber) {
    return std::max(0, std::min(frameIndex, glyphNumber - 1));
}

int RoundHalfEven(float value) {
    const double floor = std::floor(static_cast<double>(value));
    const double fraction = static_cast<double>(value) - floor;
    auto result = static_cast<long long>(floor);
    if (fraction > 0.5 || (fraction == 0.5 && result % 2 != 0))
        ++result;
    return static_cast<int>(result);
}

TGlyphCaptionPlacement PlaceGlyphAndCaption(const TGlyphCaptionInput& in) {
    const float W = in.Width;
    const float H = in.Height;
    const float tw = in.TextWidth;
    const float th = in.TextHeight;
    const float fw = in.FrameWidth;
    const float gh = in.GlyphHeight;
    const bool beside = in.Layout == glLeft || in.Layout == glRight;
    const auto hs = static_cast<float>(beside ? in.GlyphSpace : 0);
    const auto vs = static_cast<float>(beside ? 0 : in.GlyphSpace);
    const auto bs = static_cast<float>(in.BorderSpace);

    TGlyphCaptionPlacement p;
    p.TextX = (W - tw - hs) / 2;
    p.TextY = (H - th - vs) / 2;
    p.GlyphX = (W - fw - hs) / 2;
    p.GlyphY = (H - gh - vs) / 2;

    // Left and right: the pair is placed by the alignment as one block.
    auto blockLeft = [&] {
        switch (in.Alignment) {
        case taLeftJustify:
            return bs;
        case taRightJustify:
            return W - fw - tw - bs;
        default:
            return (W - fw - tw - hs) / 2;
        }
    };
    switch (in.Layout) {
    case glLeft:
        p.GlyphX = blockLeft();
        p.TextX = p.GlyphX + fw + hs;
        break;
    case glRight:
        p.TextX = blockLeft();
        p.GlyphX = p.TextX + tw + hs;
        break;
    case glTop:
        p.GlyphY = (H - gh - th - vs) / 2;
        p.TextY = p.GlyphY + gh + vs;
        break;
    case glBottom:
        p.TextY = (H - gh - th - vs) / 2;
        p.GlyphY = p.TextY + th + vs;
        break;
    }
    return p;
}

TCaptionBox CaptionAloneBox(float width, float height, TAlignment alignment,
                            std::int32_t borderSpace) {
    const auto bs = static_cast<float>(borderSpace);
    switch (alignment) {
    case taLeftJustify:
        return {{bs, 0, width - bs, height}, StringAlignmentNear};
    case taRightJustify:
        return {{0, 0, width - bs, height}, StringAlignmentFar};
    default:
        return {{0, 0, width, height}, StringAlignmentCenter};
    }
}

} // namespace vardocle
