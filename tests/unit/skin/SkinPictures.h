#pragma once
// Pictures built in memory for the skin tests.
#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>

namespace vardocle::test {

// A strip of frames, each frame filled with its own colour.
inline QImage StripImage(int frames, int frameWidth, int height, const QList<QColor>& colours) {
    QImage image(frames * frameWidth, height, QImage::Format_ARGB32);
    for (int f = 0; f < frames; ++f)
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < frameWidth; ++x)
                image.setPixelColor(f * frameWidth + x, y, colours[f % colours.size()]);
    return image;
}

inline QByteArray PngBytes(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// One length byte, the class name, then the PNG file.
inline QByteArray StoredPicture(const QImage& image, const QByteArray& className = "TnxPNGImage") {
    QByteArray stored;
    stored.append(static_cast<char>(className.size()));
    stored.append(className);
    stored.append(PngBytes(image));
    return stored;
}

} // namespace vardocle::test
