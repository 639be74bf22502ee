#include "skin/StoredPictures.h"

#include "skin/ImageButton.h"
#include "skin/nxGDIPlusClasses.h"

#include <QtGlobal>

#include <exception>

namespace vardocle {

namespace {

// Loads into `picture`; false (with a warning) when it cannot be read.
bool LoadStored(TnxPNGImage& picture, const QString& path) {
    try {
        picture.LoadFromFile(path);
        return true;
    } catch (const std::exception& error) {
        qWarning("%s", error.what());
        return false;
    }
}

} // namespace

QImage LoadPicture(const QString& path) {
    TnxPNGImage picture;
    return LoadStored(picture, path) ? picture.ToImage() : QImage();
}

void LoadButtonPicture(TImageCtrl& button, const QString& path) {
    TnxPNGImage strip;
    if (LoadStored(strip, path))
        button.SetPicture(strip);
}

void LoadManagerPicture(TImageManager& manager, const QString& path) {
    TnxPNGImage strip;
    if (LoadStored(strip, path))
        manager.SetImageGlyph(strip);
}

QFont PixelFont(const QString& family, int pixels, bool bold) {
    QFont font(family);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

} // namespace vardocle
