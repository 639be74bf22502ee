#pragma once
// Pictures built in memory for the skin tests.
#include "skin/Graphics.h"

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>

#include <functional>
#include <memory>
#include <utility>

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

// A picture container that read the stored picture.
inline std::unique_ptr<TPicture> ReadStoredPicture(QByteArray stored) {
    QBuffer in(&stored);
    in.open(QIODevice::ReadOnly);
    auto picture = std::make_unique<TPicture>();
    picture->ReadStored(in);
    return picture;
}

// The first and last column holding a pixel that counts as ink (-1 if none).
inline std::pair<int, int> InkColumns(const QImage& image,
                                      const std::function<bool(const QColor&)>& isInk) {
    int first = -1;
    int last = -1;
    for (int x = 0; x < image.width(); ++x)
        for (int y = 0; y < image.height(); ++y)
            if (isInk(image.pixelColor(x, y))) {
                first = first < 0 ? x : first;
                last = x;
            }
    return {first, last};
}

} // namespace vardocle::test
