#pragma once
// A contact sheet of the skin: every picture and every frame, labelled, on a
// neutral background, with key-coloured (see-through) pixels as a
// checkerboard, plus the windows put together from their pictures.
#include <QImage>
#include <QString>

namespace vardocle::skinart {

// Reads the pictures below assetsRoot (skin/**.pic, icons/*.png). Throws
// when one is missing or unreadable.
QImage MakeContactSheet(const QString& assetsRoot);

} // namespace vardocle::skinart
