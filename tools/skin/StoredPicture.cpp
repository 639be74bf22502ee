#include "tools/skin/StoredPicture.h"

#include <QBuffer>
#include <QImageWriter>

#include <cstring>
#include <stdexcept>

namespace vardocle::skinart {

QByteArray EncodePngDeterministic(const QImage& image) {
    QImage copy = image.convertToFormat(QImage::Format_ARGB32);
    // About 96 dpi; a fixed value keeps the pHYs chunk stable.
    copy.setDotsPerMeterX(3780);
    copy.setDotsPerMeterY(3780);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    writer.setQuality(0); // strongest zlib level, fixed
    if (!writer.write(copy))
        throw std::runtime_error("PNG encoding failed: " + writer.errorString().toStdString());
    return bytes;
}

QByteArray WrapStoredPicture(const QByteArray& png) {
    const auto nameLength = static_cast<char>(std::strlen(StoredPictureClass));
    QByteArray stored;
    stored.append(nameLength);
    stored.append(StoredPictureClass);
    stored.append(png);
    return stored;
}

QByteArray UnwrapStoredPicture(const QByteArray& stored) {
    const auto nameLength = static_cast<qsizetype>(std::strlen(StoredPictureClass));
    if (stored.size() <= 1 + nameLength || stored.at(0) != static_cast<char>(nameLength) ||
        stored.mid(1, nameLength) != StoredPictureClass)
        return {};
    return stored.mid(1 + nameLength);
}

std::optional<QImage> DecodeStoredPicture(const QByteArray& stored) {
    const QByteArray png = UnwrapStoredPicture(stored);
    if (png.isEmpty())
        return std::nullopt;
    QImage image;
    if (!image.loadFromData(png, "png"))
        return std::nullopt;
    return image.convertToFormat(QImage::Format_ARGB32);
}

} // namespace vardocle::skinart
