#pragma once
// The stored-picture container the windows load their skin from: one length
// byte, the picture class name, then a complete PNG file.
#include <QByteArray>
#include <QImage>

#include <optional>

namespace vardocle::skinart {

inline constexpr char StoredPictureClass[] = "TnxPNGImage";

// PNG bytes that depend only on the pixels: no text chunks, no gamma, fixed
// resolution and compression, so a regenerated skin is byte-identical.
QByteArray EncodePngDeterministic(const QImage& image);

QByteArray WrapStoredPicture(const QByteArray& png);

// The PNG inside a stored picture; empty when the header is not ours.
QByteArray UnwrapStoredPicture(const QByteArray& stored);

// Decoded picture of a stored-picture file's bytes (ARGB32), or nothing.
std::optional<QImage> DecodeStoredPicture(const QByteArray& stored);

} // namespace vardocle::skinart
