#pragma once
// The colours and per-state styles of the skin. Every picture takes its
// colours from here so the windows read as one family.
#include <QColor>

#include <array>

namespace vardocle::skinart {

// The window colour keys: pixels of exactly these colours are see-through.
inline const QColor MainKey(54, 99, 81);
inline const QColor SettingKey(255, 0, 128);

// Frame order inside every strip; also the index the controls draw.
enum class FrameState { Normal = 0, Hot = 1, Down = 2, Checked = 3, Disabled = 4 };
inline constexpr int FrameCount = 5;
inline constexpr std::array<FrameState, FrameCount> AllFrameStates = {
    FrameState::Normal, FrameState::Hot, FrameState::Down, FrameState::Checked,
    FrameState::Disabled};

namespace look {
inline const QColor Outline(14, 21, 23);
inline const QColor TitleTop(30, 74, 76);
inline const QColor TitleBottom(20, 50, 53);
inline const QColor BodyTop(46, 55, 59);
inline const QColor BodyBottom(31, 38, 41);
inline const QColor Well(23, 30, 33);
inline const QColor Sheen(255, 255, 255, 34);
inline const QColor Shade(0, 0, 0, 90);
inline const QColor Accent(96, 222, 206);
inline const QColor Record(232, 60, 52);
inline const QColor Danger(206, 58, 50);
} // namespace look

// How one frame of a button looks.
struct StateStyle {
    QColor FaceTop;
    QColor FaceBottom;
    QColor Border;
    QColor Ink;    // icon strokes and fills
    QColor Signal; // the red parts of icons (record dot, mute cross)
    QColor Glow;   // soft outer halo; alpha 0 for none
    QColor Ring;   // inner highlight ring; alpha 0 for none
    double Shift;  // pressed icons move down and right
    bool Sheen;    // light line along the top edge
};

StateStyle StyleFor(FrameState state);
// Close buttons warn in red when the mouse is over them or presses them.
StateStyle DangerStyleFor(FrameState state);

} // namespace vardocle::skinart
