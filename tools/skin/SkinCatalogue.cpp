#include "tools/skin/SkinCatalogue.h"

#include "tools/skin/ButtonStrip.h"
#include "tools/skin/StoredPicture.h"
#include "tools/skin/WindowPanels.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <stdexcept>

namespace vardocle::skinart {

namespace {

const QSize LargeFrame(30, 30);
const QSize SmallFrame(17, 17);
const QSize TitleFrame(25, 20);

SkinPicture Strip(const QString& path, QSize frame, QColor key, Icon icon,
                  ButtonTone tone = ButtonTone::Plain) {
    return {path, QSize(frame.width() * FrameCount, frame.height()), true, key,
            [=] { return MakeButtonStrip(frame, icon, tone); }};
}

SkinPicture Single(const QString& path, QSize size, QColor key, QImage (*make)(const QColor&)) {
    return {path, size, false, key, [=] { return make(key); }};
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + path.toStdString() + ": " +
                                 file.errorString().toStdString());
}

} // namespace

const std::vector<SkinPicture>& SkinPictures() {
    static const std::vector<SkinPicture> pictures = {
        Single("main/Background.pic", {240, 89}, MainKey, MakeMainBackground),
        Strip("main/BtnStart.pic", LargeFrame, MainKey, Icon::Record),
        Strip("main/ChkPause.pic", LargeFrame, MainKey, Icon::Pause),
        Strip("main/ChkResume.pic", LargeFrame, MainKey, Icon::Resume),
        Strip("main/BtnStop.pic", LargeFrame, MainKey, Icon::Stop),
        Strip("main/VoiceCheckTrue.pic", LargeFrame, MainKey, Icon::SoundOn),
        Strip("main/VoiceCheckFalse.pic", LargeFrame, MainKey, Icon::SoundOff),
        Strip("main/BtnHistory.pic", LargeFrame, MainKey, Icon::History),
        Strip("main/BtnSetting.pic", SmallFrame, MainKey, Icon::Gear),
        Strip("main/BtnHelp.pic", SmallFrame, MainKey, Icon::Help),
        Strip("main/BtnHide.pic", TitleFrame, MainKey, Icon::Minus),
        Strip("main/BtnClose.pic", TitleFrame, MainKey, Icon::Close, ButtonTone::Danger),
        Single("setting/Title.pic", {240, 24}, SettingKey, MakeTitleBar),
        Single("setting/Body.pic", {240, 65}, SettingKey, MakeWindowBody),
        Strip("setting/BtnHide.pic", TitleFrame, SettingKey, Icon::Fold),
        Strip("setting/BtnClose.pic", TitleFrame, SettingKey, Icon::Close, ButtonTone::Danger),
        Single("ad/Title.pic", {240, 24}, MainKey, MakeTitleBar),
        Single("ad/Body.pic", {240, 65}, MainKey, MakeWindowBody),
        Strip("ad/BtnClose.pic", TitleFrame, MainKey, Icon::Close, ButtonTone::Danger),
    };
    return pictures;
}

const std::vector<ProgramIconFile>& ProgramIcons() {
    // 32 and 16 for the windows and the tray; every size the desktop's icon
    // theme asks for.
    static const std::vector<ProgramIconFile> icons = {
        {"vardocle-32.png", 32}, {"vardocle-16.png", 16},   {"vardocle-48.png", 48},
        {"vardocle-64.png", 64}, {"vardocle-128.png", 128}, {"vardocle-256.png", 256}};
    return icons;
}

std::vector<QString> WriteSkin(const QString& root) {
    std::vector<QString> written;
    for (const SkinPicture& picture : SkinPictures()) {
        const QImage image = picture.Make();
        if (image.size() != picture.Size)
            throw std::logic_error("picture " + picture.Path.toStdString() + " has the wrong size");
        const QString relative = "skin/" + picture.Path;
        WriteFile(root + "/" + relative, WrapStoredPicture(EncodePngDeterministic(image)));
        written.push_back(relative);
    }
    for (const ProgramIconFile& icon : ProgramIcons()) {
        const QString relative = "icons/" + icon.Path;
        WriteFile(root + "/" + relative, EncodePngDeterministic(MakeProgramIcon(icon.Size)));
        written.push_back(relative);
    }
    return written;
}

} // namespace vardocle::skinart
