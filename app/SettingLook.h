#pragma once
// The settings window's look, shared by all of its rows.
#include <QColor>
#include <QPalette>
#include <QWidget>

#include "skin/StoredPictures.h"

namespace vardocle {

inline const QColor kSettingTextColour(194, 241, 235);
inline const QColor kSettingFieldColour(64, 128, 128);

// Sets one colour of the widget's palette, keeping the others.
inline void SetColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(role, colour);
    widget->setPalette(palette);
}

// A control of a settings row: the window's font and text colour, and the
// field colour for the ones that take input (`field`).
inline void StyleRowControl(QWidget* widget, bool field) {
    widget->setFont(PixelFont(QStringLiteral("宋体"), 12));
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, kSettingTextColour);
    palette.setColor(QPalette::Text, kSettingTextColour);
    palette.setColor(QPalette::ButtonText, kSettingTextColour);
    if (field) {
        palette.setColor(QPalette::Base, kSettingFieldColour);
        palette.setColor(QPalette::Button, kSettingFieldColour);
    }
    widget->setPalette(palette);
}

} // namespace vardocle
