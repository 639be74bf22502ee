#pragma once
// Window pictures: the main window's background, the title bars and bodies of
// the settings and advertisement windows, and the program icon.
#include <QColor>
#include <QImage>

namespace vardocle::skinart {

// Makes a drawn window picture fit a colour-keyed window: pixels the shape
// covers less than half become exactly the key, the rest become opaque (edge
// pixels darken towards the outline instead of blending into the key), and no
// opaque pixel is left equal to the key by accident.
QImage FinishWithKey(const QImage& drawn, const QColor& key);

QImage MakeMainBackground(const QColor& key); // 240 x 89
QImage MakeTitleBar(const QColor& key);       // 240 x 24, rounded top corners
QImage MakeWindowBody(const QColor& key);     // 240 x 65, rounded bottom corners
QImage MakeProgramIcon(int size);             // size x size, plain alpha

} // namespace vardocle::skinart
