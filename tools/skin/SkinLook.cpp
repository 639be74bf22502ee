#include "tools/skin/SkinLook.h"

namespace vardocle::skinart {

namespace {
const QColor None(0, 0, 0, 0);
}

StateStyle StyleFor(FrameState state) {
    switch (state) {
    case FrameState::Normal:
        return {QColor(66, 82, 87),
                QColor(40, 50, 54),
                QColor(12, 18, 20),
                QColor(222, 238, 236),
                look::Record,
                None,
                None,
                0.0,
                true};
    case FrameState::Hot:
        return {QColor(92, 118, 122),
                QColor(58, 76, 80),
                QColor(110, 196, 188),
                QColor(255, 255, 255),
                QColor(255, 92, 80),
                QColor(96, 222, 206, 90),
                None,
                0.0,
                true};
    case FrameState::Down:
        return {QColor(22, 29, 32),
                QColor(38, 47, 51),
                QColor(6, 10, 12),
                QColor(186, 206, 204),
                QColor(186, 44, 38),
                None,
                None,
                1.0,
                false};
    case FrameState::Checked:
        return {QColor(30, 96, 94),
                QColor(20, 64, 64),
                look::Accent,
                QColor(240, 255, 252),
                QColor(255, 76, 64),
                None,
                QColor(96, 222, 206, 110),
                0.0,
                true};
    case FrameState::Disabled:
        return {QColor(62, 65, 67),
                QColor(52, 55, 57),
                QColor(38, 40, 42),
                QColor(112, 117, 119),
                QColor(98, 92, 92),
                None,
                None,
                0.0,
                false};
    }
    return StyleFor(FrameState::Normal);
}

StateStyle DangerStyleFor(FrameState state) {
    StateStyle style = StyleFor(state);
    if (state == FrameState::Hot) {
        style.FaceTop = QColor(232, 86, 76);
        style.FaceBottom = QColor(184, 46, 40);
        style.Border = QColor(255, 150, 140);
        style.Glow = QColor(255, 96, 80, 90);
    } else if (state == FrameState::Down) {
        style.FaceTop = QColor(122, 26, 22);
        style.FaceBottom = QColor(160, 38, 32);
        style.Border = QColor(60, 8, 6);
        style.Ink = QColor(236, 206, 204);
    }
    return style;
}

} // namespace vardocle::skinart
