#include "tools/skin/SkinIcons.h"

#include <QPainterPath>
#include <QPen>

#include <cmath>
#include <initializer_list>
#include <numbers>

namespace vardocle::skinart {

namespace {

// Maps the unit square onto the icon box.
struct Box {
    QRectF R;
    QPointF At(double x, double y) const {
        return {R.left() + x * R.width(), R.top() + y * R.height()};
    }
    double Len(double v) const { return v * R.width(); }
    QRectF Rect(double x0, double y0, double x1, double y1) const {
        return {At(x0, y0), At(x1, y1)};
    }
};

QPen Stroke(const QColor& colour, double width, Qt::PenCapStyle cap = Qt::RoundCap) {
    return QPen(colour, width, Qt::SolidLine, cap, Qt::RoundJoin);
}

double LineWidth(const Box& b) {
    return std::max(1.6, b.Len(0.13));
}

void Record(QPainter& p, const Box& b, const StateStyle& s) {
    const QPointF centre = b.At(0.5, 0.5);
    const double radius = b.Len(0.44);
    QRadialGradient fill(b.At(0.38, 0.34), radius * 1.3);
    fill.setColorAt(0.0, s.Signal.lighter(135));
    fill.setColorAt(1.0, s.Signal.darker(125));
    p.setPen(Stroke(s.Signal.darker(170), 1.0));
    p.setBrush(fill);
    p.drawEllipse(centre, radius, radius);
}

void Pause(QPainter& p, const Box& b, const StateStyle& s) {
    p.setPen(Qt::NoPen);
    p.setBrush(s.Ink);
    const double r = b.Len(0.06);
    // Sixteenths keep the bars on whole pixels in the 16-pixel box.
    p.drawRoundedRect(b.Rect(3 / 16.0, 2 / 16.0, 7 / 16.0, 14 / 16.0), r, r);
    p.drawRoundedRect(b.Rect(9 / 16.0, 2 / 16.0, 13 / 16.0, 14 / 16.0), r, r);
}

// A filled polygon whose corners are softened by a thin stroke of its colour.
void SoftPolygon(QPainter& p, const Box& b, std::initializer_list<QPointF> unitPoints,
                 const QColor& colour, double softness) {
    QPolygonF polygon;
    for (const QPointF& point : unitPoints)
        polygon << b.At(point.x(), point.y());
    p.setPen(Stroke(colour, softness));
    p.setBrush(colour);
    p.drawPolygon(polygon);
}

void Resume(QPainter& p, const Box& b, const StateStyle& s) {
    SoftPolygon(p, b, {{0.2, 0.1}, {0.9, 0.5}, {0.2, 0.9}}, s.Ink, 1.2);
}

void Stop(QPainter& p, const Box& b, const StateStyle& s) {
    p.setPen(Qt::NoPen);
    p.setBrush(s.Ink);
    const double r = b.Len(0.1);
    p.drawRoundedRect(b.Rect(2 / 16.0, 2 / 16.0, 14 / 16.0, 14 / 16.0), r, r);
}

void Speaker(QPainter& p, const Box& b, const StateStyle& s) {
    SoftPolygon(p, b,
                {{0.0, 0.34}, {0.2, 0.34}, {0.46, 0.1}, {0.46, 0.9}, {0.2, 0.66}, {0.0, 0.66}},
                s.Ink, 1.0);
}

void SoundOn(QPainter& p, const Box& b, const StateStyle& s) {
    Speaker(p, b, s);
    p.setBrush(Qt::NoBrush);
    p.setPen(Stroke(s.Ink, std::max(1.4, b.Len(0.09))));
    const QPointF centre = b.At(0.46, 0.5);
    for (double radius : {0.22, 0.42}) {
        const double r = b.Len(radius);
        p.drawArc(QRectF(centre.x() - r, centre.y() - r, 2 * r, 2 * r), -50 * 16, 100 * 16);
    }
}

void SoundOff(QPainter& p, const Box& b, const StateStyle& s) {
    Speaker(p, b, s);
    p.setPen(Stroke(s.Signal, std::max(1.6, b.Len(0.11))));
    p.drawLine(b.At(0.62, 0.32), b.At(0.96, 0.68));
    p.drawLine(b.At(0.62, 0.68), b.At(0.96, 0.32));
}

void History(QPainter& p, const Box& b, const StateStyle& s) {
    const double w = std::max(1.5, b.Len(0.1));
    p.setBrush(Qt::NoBrush);
    p.setPen(Stroke(s.Ink, w));
    const QPointF centre = b.At(0.5, 0.5);
    const double r = b.Len(0.44);
    p.drawEllipse(centre, r, r);
    p.drawLine(centre, b.At(0.5, 0.2));
    p.drawLine(centre, b.At(0.72, 0.62));
    // Hour ticks at 12, 3, 6 and 9 keep it reading as a clock when small.
    p.setPen(Stroke(s.Ink, 1.0, Qt::FlatCap));
    for (int i = 0; i < 4; ++i) {
        const double angle = i * std::numbers::pi / 2;
        const QPointF dir(std::cos(angle), std::sin(angle));
        p.drawLine(centre + dir * r * 0.72, centre + dir * r * 0.9);
    }
}

void Gear(QPainter& p, const Box& b, const StateStyle& s) {
    const QPointF centre = b.At(0.5, 0.5);
    QPainterPath gear;
    const double body = b.Len(0.34);
    gear.addEllipse(centre, body, body);
    constexpr int teeth = 8;
    const double tooth = b.Len(0.2);
    for (int i = 0; i < teeth; ++i) {
        QPainterPath t;
        t.addRect(QRectF(-tooth / 2, -b.Len(0.5), tooth, b.Len(0.3)));
        QTransform turn;
        turn.translate(centre.x(), centre.y());
        turn.rotate(360.0 * i / teeth);
        gear = gear.united(turn.map(t));
    }
    QPainterPath hole;
    const double holeR = b.Len(0.15);
    hole.addEllipse(centre, holeR, holeR);
    p.setPen(Qt::NoPen);
    p.setBrush(s.Ink);
    p.drawPath(gear.subtracted(hole));
}

void Help(QPainter& p, const Box& b, const StateStyle& s) {
    QPainterPath hook;
    hook.moveTo(b.At(0.24, 0.3));
    hook.cubicTo(b.At(0.24, 0.02), b.At(0.76, 0.02), b.At(0.76, 0.3));
    hook.cubicTo(b.At(0.76, 0.5), b.At(0.5, 0.46), b.At(0.5, 0.66));
    p.setBrush(Qt::NoBrush);
    p.setPen(Stroke(s.Ink, std::max(1.7, b.Len(0.15))));
    p.drawPath(hook);
    p.setPen(Qt::NoPen);
    p.setBrush(s.Ink);
    const double dot = std::max(1.0, b.Len(0.1));
    p.drawEllipse(b.At(0.5, 0.9), dot, dot);
}

void Minus(QPainter& p, const Box& b, const StateStyle& s) {
    p.setPen(Qt::NoPen);
    p.setBrush(s.Ink);
    p.drawRect(QRectF(b.At(0.15, 0.5), QSizeF(b.Len(0.7), 2.0)));
}

void Close(QPainter& p, const Box& b, const StateStyle& s) {
    p.setPen(Stroke(s.Ink, std::max(1.7, b.Len(0.16))));
    p.drawLine(b.At(0.18, 0.18), b.At(0.82, 0.82));
    p.drawLine(b.At(0.18, 0.82), b.At(0.82, 0.18));
}

void Fold(QPainter& p, const Box& b, const StateStyle& s) {
    p.setBrush(Qt::NoBrush);
    p.setPen(Stroke(s.Ink, LineWidth(b)));
    QPolygonF chevron;
    chevron << b.At(0.15, 0.68) << b.At(0.5, 0.3) << b.At(0.85, 0.68);
    p.drawPolyline(chevron);
}

} // namespace

void DrawIcon(QPainter& painter, Icon icon, const QRectF& box, const StateStyle& style) {
    painter.save();
    const Box b{box.translated(style.Shift, style.Shift)};
    switch (icon) {
    case Icon::Record:
        Record(painter, b, style);
        break;
    case Icon::Pause:
        Pause(painter, b, style);
        break;
    case Icon::Resume:
        Resume(painter, b, style);
        break;
    case Icon::Stop:
        Stop(painter, b, style);
        break;
    case Icon::SoundOn:
        SoundOn(painter, b, style);
        break;
    case Icon::SoundOff:
        SoundOff(painter, b, style);
        break;
    case Icon::History:
        History(painter, b, style);
        break;
    case Icon::Gear:
        Gear(painter, b, style);
        break;
    case Icon::Help:
        Help(painter, b, style);
        break;
    case Icon::Minus:
        Minus(painter, b, style);
        break;
    case Icon::Close:
        Close(painter, b, style);
        break;
    case Icon::Fold:
        Fold(painter, b, style);
        break;
    }
    painter.restore();
}

} // namespace vardocle::skinart
