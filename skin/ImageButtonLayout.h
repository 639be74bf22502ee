#pragma once
// What the image controls draw where, free of any widget: the visual state
// machine, frame choice, glyph and caption placement and colour conversion.
#include "skin/GDIPAPI.h"

#include <QColor>

#include <cstdint>

namespace vardocle {

enum TGlyphLayout : std::uint8_t { glLeft = 0, glRight = 1, glTop = 2, glBottom = 3 };
enum TAlignment : std::uint8_t { taLeftJustify = 0, taRightJustify = 1, taCenter = 2 };

// Framework colour: low byte red, then green, then blue; a set high byte
// marks a system colour code.
using TColor = std::uint32_t;
inline constexpr TColor clWindowText = 0x80000008;

// Opaque imaging colour from the three low bytes (system colour codes are
// not resolved).
ARGB ColorToARGB(TColor color);
TColor QColorToTColor(const QColor& color);

// Visual states; the state is also the frame index, and a disabled control
// is drawn with frame 4.
enum : std::uint8_t { stNormal = 0, stHot = 1, stDown = 2, stChecked = 3, stDisabledFrame = 4 };

struct TVisualState {
    std::uint8_t State = stNormal;
    bool MouseDown = false;

    // Each returns true when the event changed the look (then repaint).
    bool MouseEnter(bool enabled);
    bool MouseLeave(bool enabled);
    bool MouseButtonDown(bool enabled, bool leftButton);
    // cursorOverThis: the control under the cursor is this one.
    bool MouseButtonUp(bool enabled, bool leftButton, bool cursorOverThis);
    void EnabledChanged();
};

// Frame of the border strip (always five frames).
int BorderFrameIndex(std::uint8_t state, bool enabled);
// Frame of the glyph strip: the border's frame clamped to 0 .. glyphNumber-1.
int GlyphFrameIndex(int frameIndex, int glyphNumber);

// Rounds to the nearest integer, halves to even (0.5 -> 0, 1.5 -> 2).
int RoundHalfEven(float value);

struct TGlyphCaptionPlacement {
    float GlyphX = 0;
    float GlyphY = 0;
    float TextX = 0;
    float TextY = 0;
};

struct TGlyphCaptionInput {
    float Width = 0;  // control
    float Height = 0; // control
    float TextWidth = 0;
    float TextHeight = 0;
    float FrameWidth = 0;  // fw
    float GlyphHeight = 0; // gh
    TGlyphLayout Layout = glLeft;
    TAlignment Alignment = taCenter;
    std::int32_t GlyphSpace = 2;
    std::int32_t BorderSpace = 0;
};

TGlyphCaptionPlacement PlaceGlyphAndCaption(const TGlyphCaptionInput& in);

// The caption drawn without a glyph: its layout rectangle and horizontal
// alignment (lines are always centred).
struct TCaptionBox {
    TGPRectF Rect;
    TStringAlignment Align = StringAlignmentCenter;
};
TCaptionBox CaptionAloneBox(float width, float height, TAlignment alignment,
                            std::int32_t borderSpace);

} // namespace vardocle
