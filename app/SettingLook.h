#pragma once
// The settings window's look, shared by all of its rows.
#include <QColor>
#include <QPalette>
#include <QWidget>

namespace vardocle {

inline const QColor kSettingTextColour(194, 241, 235);
inline const QColor kSettingFieldColour(64, 128, 128);

// Sets one colour of the widget's palette, keeping the others.
inline void SetColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(role, colour);
    widget->setPalette(palette);
}

} // namespace vardocle
