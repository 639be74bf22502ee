// The image controls' arithmetic and state machine, without widgets.
#include "skin/ImageButtonLayout.h"

#include <gtest/gtest.h>

namespace vardocle {
namespace {

TEST(ImageButtonLayout, RoundsHalvesToEven) {
    EXPECT_EQ(RoundHalfEven(0.5f), 0);
    EXPECT_EQ(RoundHalfEven(1.5f), 2);
    EXPECT_EQ(RoundHalfEven(2.5f), 2);
    EXPECT_EQ(RoundHalfEven(-0.5f), 0);
    EXPECT_EQ(RoundHalfEven(-1.5f), -2);
    EXPECT_EQ(RoundHalfEven(-1.0f), -1);
    EXPECT_EQ(RoundHalfEven(2.49f), 2);
    EXPECT_EQ(RoundHalfEven(2.51f), 3);
    EXPECT_EQ(RoundHalfEven(-2.51f), -3);
}

TGlyphCaptionInput Input(float W, float H, float tw, float th, float fw, float gh,
                         TGlyphLayout layout, TAlignment alignment = taCenter, int space = 2,
                         int border = 0) {
    return {W, H, tw, th, fw, gh, layout, alignment, space, border};
}

TEST(ImageButtonLayout, GlyphAboveCaptionInTheMainWindowButtons) {
    // 31 x 48 control, 30-pixel frames of a 150 x 30 strip, 12-pixel caption.
    const auto p = PlaceGlyphAndCaption(Input(31, 48, 24, 12, 30, 30, glTop));
    EXPECT_FLOAT_EQ(p.GlyphX, 0.5f);
    EXPECT_EQ(RoundHalfEven(p.GlyphX), 0);
    EXPECT_FLOAT_EQ(p.GlyphY, 2.0f); // (48 - 30 - 12 - 2) / 2
    EXPECT_FLOAT_EQ(p.TextY, 34.0f); // glyph + 30 + 2
    EXPECT_FLOAT_EQ(p.TextX, 3.5f);  // centred on its own width, no gap
    const auto below = PlaceGlyphAndCaption(Input(31, 48, 24, 12, 30, 30, glBottom));
    EXPECT_FLOAT_EQ(below.TextY, 2.0f);
    EXPECT_FLOAT_EQ(below.GlyphY, 16.0f);
    EXPECT_FLOAT_EQ(below.GlyphX, 0.5f);
}

TEST(ImageButtonLayout, EmptyCaptionStillKeepsTheGap) {
    const auto p = PlaceGlyphAndCaption(Input(25, 20, 0, 0, 25, 20, glLeft));
    EXPECT_FLOAT_EQ(p.GlyphX, -1.0f);
    EXPECT_EQ(RoundHalfEven(p.GlyphX), -1);
    EXPECT_FLOAT_EQ(p.GlyphY, 0.0f);
}

TEST(ImageButtonLayout, AlignmentPlacesGlyphAndCaptionAsOneBlock) {
    // W 100, caption 40 x 10, frame 20 x 16, gap 3, border space 5.
    auto left = PlaceGlyphAndCaption(Input(100, 30, 40, 10, 20, 16, glLeft, taLeftJustify, 3, 5));
    EXPECT_FLOAT_EQ(left.GlyphX, 5);
    EXPECT_FLOAT_EQ(left.TextX, 28);
    EXPECT_FLOAT_EQ(left.GlyphY, 7);
    EXPECT_FLOAT_EQ(left.TextY, 10);
    // Right alignment ignores the gap: W - fw - tw - bs.
    auto right = PlaceGlyphAndCaption(Input(100, 30, 40, 10, 20, 16, glLeft, taRightJustify, 3, 5));
    EXPECT_FLOAT_EQ(right.GlyphX, 35);
    EXPECT_FLOAT_EQ(right.TextX, 58);
    auto centre = PlaceGlyphAndCaption(Input(100, 30, 40, 10, 20, 16, glLeft, taCenter, 3, 5));
    EXPECT_FLOAT_EQ(centre.GlyphX, 18.5f);
    EXPECT_FLOAT_EQ(centre.TextX, 41.5f);

    auto textFirst =
        PlaceGlyphAndCaption(Input(100, 30, 40, 10, 20, 16, glRight, taLeftJustify, 3, 5));
    EXPECT_FLOAT_EQ(textFirst.TextX, 5);
    EXPECT_FLOAT_EQ(textFirst.GlyphX, 48);
    auto textFirstRight =
        PlaceGlyphAndCaption(Input(100, 30, 40, 10, 20, 16, glRight, taRightJustify, 3, 5));
    EXPECT_FLOAT_EQ(textFirstRight.TextX, 35);
    EXPECT_FLOAT_EQ(textFirstRight.GlyphX, 78);
    // Alignment and border space do nothing above or below.
    auto top = PlaceGlyphAndCaption(Input(100, 30, 40, 10, 20, 16, glTop, taLeftJustify, 3, 5));
    EXPECT_FLOAT_EQ(top.GlyphX, 40);
    EXPECT_FLOAT_EQ(top.TextX, 30);
}

TEST(ImageButtonLayout, CaptionAloneBoxes) {
    auto left = CaptionAloneBox(80, 20, taLeftJustify, 6);
    EXPECT_EQ(left.Rect, (TGPRectF{6, 0, 74, 20}));
    EXPECT_EQ(left.Align, StringAlignmentNear);
    auto right = CaptionAloneBox(80, 20, taRightJustify, 6);
    EXPECT_EQ(right.Rect, (TGPRectF{0, 0, 74, 20}));
    EXPECT_EQ(right.Align, StringAlignmentFar);
    auto centre = CaptionAloneBox(80, 20, taCenter, 6);
    EXPECT_EQ(centre.Rect, (TGPRectF{0, 0, 80, 20}));
    EXPECT_EQ(centre.Align, StringAlignmentCenter);
}

TEST(ImageButtonLayout, FrameChoice) {
    EXPECT_EQ(BorderFrameIndex(stHot, true), 1);
    EXPECT_EQ(BorderFrameIndex(stChecked, false), 4);
    EXPECT_EQ(GlyphFrameIndex(4, 5), 4);
    EXPECT_EQ(GlyphFrameIndex(4, 4), 3);
    EXPECT_EQ(GlyphFrameIndex(2, 1), 0);
    EXPECT_EQ(GlyphFrameIndex(4, 1), 0);
}

TEST(ImageButtonLayout, ColourConversionTakesTheLowThreeBytes) {
    EXPECT_EQ(ColorToARGB(0x00563412), 0xFF123456u);
    EXPECT_EQ(ColorToARGB(clWindowText), 0xFF080000u); // system code, not resolved
    EXPECT_EQ(QColorToTColor(QColor(0x12, 0x34, 0x56)), 0x00563412u);
}

TEST(VisualState, PressDragOutAndRelease) {
    TVisualState s;
    EXPECT_TRUE(s.MouseEnter(true));
    EXPECT_EQ(s.State, stHot);
    EXPECT_TRUE(s.MouseButtonDown(true, true));
    EXPECT_EQ(s.State, stDown);
    EXPECT_TRUE(s.MouseDown);
    // Held: leaving and re-entering do not change the look.
    EXPECT_FALSE(s.MouseLeave(true));
    EXPECT_FALSE(s.MouseEnter(true));
    EXPECT_EQ(s.State, stDown);
    EXPECT_TRUE(s.MouseButtonUp(true, true, false));
    EXPECT_EQ(s.State, stNormal);
    EXPECT_FALSE(s.MouseDown);

    EXPECT_TRUE(s.MouseButtonDown(true, true));
    EXPECT_TRUE(s.MouseButtonUp(true, true, true));
    EXPECT_EQ(s.State, stHot);
}

TEST(VisualState, IgnoredEvents) {
    TVisualState s;
    EXPECT_FALSE(s.MouseEnter(false));
    EXPECT_FALSE(s.MouseButtonDown(true, false)); // right button
    EXPECT_FALSE(s.MouseButtonDown(false, true));
    EXPECT_EQ(s.State, stNormal);
    s.State = stChecked;
    EXPECT_FALSE(s.MouseEnter(true));
    EXPECT_FALSE(s.MouseButtonDown(true, true));
    EXPECT_FALSE(s.MouseButtonUp(true, true, true));
    EXPECT_FALSE(s.MouseLeave(true));
    EXPECT_EQ(s.State, stChecked);
    s.MouseDown = true;
    s.EnabledChanged();
    EXPECT_EQ(s.State, stNormal);
    EXPECT_FALSE(s.MouseDown);
}

} // namespace
} // namespace vardocle
