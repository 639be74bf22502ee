#include "SkinFiles.h"

#include "assets/Assets.h"

#include <QFile>

namespace vardocle::test {

const std::vector<ExpectedPicture>& ExpectedPictures() {
    const QColor m = MainKeyColour;
    const QColor s = SettingKeyColour;
    const int all = TopLeft | TopRight | BottomRight | BottomLeft;
    const int top = TopLeft | TopRight;
    const int bottom = BottomLeft | BottomRight;
    static const std::vector<ExpectedPicture> pictures = {
        {"main/Background.pic", 240, 89, false, m, all},
        {"main/BtnStart.pic", 150, 30, true, m, 0},
        {"main/ChkPause.pic", 150, 30, true, m, 0},
        {"main/ChkResume.pic", 150, 30, true, m, 0},
        {"main/BtnStop.pic", 150, 30, true, m, 0},
        {"main/VoiceCheckTrue.pic", 150, 30, true, m, 0},
        {"main/VoiceCheckFalse.pic", 150, 30, true, m, 0},
        {"main/BtnHistory.pic", 150, 30, true, m, 0},
        {"main/BtnSetting.pic", 85, 17, true, m, 0},
        {"main/BtnHelp.pic", 85, 17, true, m, 0},
        {"main/BtnHide.pic", 125, 20, true, m, 0},
        {"main/BtnClose.pic", 125, 20, true, m, 0},
        {"setting/Title.pic", 240, 24, false, s, top},
        {"setting/Body.pic", 240, 65, false, s, bottom},
        {"setting/BtnHide.pic", 125, 20, true, s, 0},
        {"setting/BtnClose.pic", 125, 20, true, s, 0},
        {"ad/Title.pic", 240, 24, false, m, top},
        {"ad/Body.pic", 240, 65, false, m, bottom},
        {"ad/BtnClose.pic", 125, 20, true, m, 0},
    };
    return pictures;
}

QByteArray ReadResource(const QString& path) {
    InitAssets();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QImage DecodeStored(const QByteArray& stored) {
    static const QByteArray header = QByteArray(1, '\x0b') + "TnxPNGImage";
    if (!stored.startsWith(header))
        return {};
    QImage image;
    if (!image.loadFromData(stored.mid(header.size()), "png"))
        return {};
    return image.convertToFormat(QImage::Format_ARGB32);
}

} // namespace vardocle::test
