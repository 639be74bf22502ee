#include "tools/skin/ButtonStrip.h"

#include <QLinearGradient>
#include <QPainter>

#include <cmath>

namespace vardocle::skinart {

namespace {

struct TileGeometry {
    QRectF Tile; // the border runs along this rectangle (half-pixel aligned)
    double Radius;
    double IconSide;
    bool RoomForGlow;
};

TileGeometry GeometryFor(const QRectF& frame) {
    const double side = std::min(frame.width(), frame.height());
    if (side >= 28) {
        return {frame.adjusted(1.5, 1.5, -1.5, -1.5), 6.0, 16.0, true};
    }
    return {frame.adjusted(0.5, 0.5, -0.5, -0.5), 3.0, std::round(side * 0.56), false};
}

} // namespace

void DrawButtonFrame(QPainter& p, const QRectF& frame, Icon icon, FrameState state,
                     ButtonTone tone) {
    const StateStyle style = tone == ButtonTone::Danger ? DangerStyleFor(state) : StyleFor(state);
    const TileGeometry g = GeometryFor(frame);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setClipRect(frame);

    if (g.RoomForGlow && style.Glow.alpha() > 0) {
        p.setPen(QPen(style.Glow, 1.0));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(g.Tile.adjusted(-1, -1, 1, 1), g.Radius + 1, g.Radius + 1);
    }

    QLinearGradient face(g.Tile.topLeft(), g.Tile.bottomLeft());
    face.setColorAt(0.0, style.FaceTop);
    face.setColorAt(1.0, style.FaceBottom);
    p.setPen(QPen(style.Border, 1.0));
    p.setBrush(face);
    p.drawRoundedRect(g.Tile, g.Radius, g.Radius);

    const QRectF inner = g.Tile.adjusted(1, 1, -1, -1);
    if (style.Ring.alpha() > 0) {
        p.setPen(QPen(style.Ring, 1.0));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(inner, g.Radius - 1, g.Radius - 1);
    }
    const QPointF edgeLeft(inner.left() + g.Radius - 1, inner.top());
    const QPointF edgeRight(inner.right() - g.Radius + 1, inner.top());
    if (style.Sheen) {
        p.setPen(QPen(look::Sheen, 1.0));
        p.drawLine(edgeLeft, edgeRight);
    } else if (state == FrameState::Down) {
        p.setPen(QPen(look::Shade, 1.0));
        p.drawLine(edgeLeft, edgeRight);
    }

    const QRectF iconBox(frame.center().x() - g.IconSide / 2, frame.center().y() - g.IconSide / 2,
                         g.IconSide, g.IconSide);
    DrawIcon(p, icon, iconBox, style);
    p.restore();
}

QImage MakeButtonStrip(QSize frame, Icon icon, ButtonTone tone) {
    QImage strip(frame.width() * FrameCount, frame.height(), QImage::Format_ARGB32_Premultiplied);
    strip.fill(Qt::transparent);
    QPainter painter(&strip);
    for (FrameState state : AllFrameStates) {
        const QRectF cell(static_cast<int>(state) * frame.width(), 0, frame.width(),
                          frame.height());
        DrawButtonFrame(painter, cell, icon, state, tone);
    }
    painter.end();
    return strip.convertToFormat(QImage::Format_ARGB32);
}

} // namespace vardocle::skinart
