#pragma once
// Pictures and fonts of the skinned windows.
#include <QFont>
#include <QImage>
#include <QString>

namespace vardocle {

class TImageCtrl;
class TImageManager;

// A stored picture as an image; a missing or broken one gives an empty image
// (the window still works without it).
QImage LoadPicture(const QString& path);
// Gives a skinned button its strip of frames.
void LoadButtonPicture(TImageCtrl& button, const QString& path);
void LoadManagerPicture(TImageManager& manager, const QString& path);

QFont PixelFont(const QString& family, int pixels, bool bold = false);

} // namespace vardocle
