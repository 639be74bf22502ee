#pragma once
// What the windows expect of the skin: every stored picture, its size and
// whether it is a five-frame strip, and the colour key of its window.
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QString>

#include <vector>

namespace vardocle::test {

inline const QColor MainKeyColour(54, 99, 81);
inline const QColor SettingKeyColour(255, 0, 128);

// Which corners of a window picture are rounded off (made see-through).
enum Corner { TopLeft = 1, TopRight = 2, BottomRight = 4, BottomLeft = 8 };

struct ExpectedPicture {
    QString Path; // below :/skin/
    int Width;
    int Height;
    bool Strip;
    QColor Key;
    int RoundedCorners; // only for window pictures (not strips)
};

const std::vector<ExpectedPicture>& ExpectedPictures();

// The resource's bytes, empty when it is missing.
QByteArray ReadResource(const QString& path);

// The PNG of a stored picture decoded to ARGB32; a null image when the bytes
// are not a stored picture.
QImage DecodeStored(const QByteArray& stored);

} // namespace vardocle::test
