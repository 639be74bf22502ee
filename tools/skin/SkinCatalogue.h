#pragma once
// Every picture of the skin, where it is stored and how it is made.
#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>

#include <functional>
#include <vector>

namespace vardocle::skinart {

struct SkinPicture {
    QString Path; // below skin/, e.g. "main/BtnStart.pic"
    QSize Size;
    bool Strip; // five frames side by side
    QColor Key; // the colour key of the window the picture belongs to
    std::function<QImage()> Make;
};

const std::vector<SkinPicture>& SkinPictures();

struct ProgramIconFile {
    QString Path; // below icons/
    int Size;
};

const std::vector<ProgramIconFile>& ProgramIcons();

// Writes skin/** (stored pictures) and icons/*.png below root; returns the
// relative paths written. Throws on a picture of the wrong size or a failed write.
std::vector<QString> WriteSkin(const QString& root);

} // namespace vardocle::skinart
