#include "app/sound/SoundRecorderStart.h"

namespace vardocle {

std::unique_ptr<TWavRecord>
MakeSoundRecorder(const TSoundSetting& Setting,
                  const std::function<std::unique_ptr<TWavRecord>()>& MakeMicrophone,
                  std::function<void(const QString& Message)> OnNotice, QString& WhyNot) {
    if (Setting.Choice == TSoundChoice::Microphone)
        return MakeMicrophone();
    std::string whyNot;
    auto library = CreateSoundLibraryFor(
        Setting.Choice, whyNot, Setting.Levels(),
        [notice = std::move(OnNotice)](const std::string& chinese, const std::string&) {
            if (notice)
                notice(QString::fromStdString(chinese));
        });
    if (!library) {
        WhyNot = QStringLiteral("无法录制系统声音：%1。可以在设置窗口的“录制声音”中改选“麦克风”。")
                     .arg(QString::fromStdString(whyNot));
        return nullptr;
    }
    return std::make_unique<TWavRecord>(std::move(library));
}

} // namespace vardocle
