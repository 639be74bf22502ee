#include "app/hotkeys/StartBalloon.h"

#include "app/RefusedHotKeys.h"
#include "app/hotkeys/HotKeyBindings.h"
#include "app/hotkeys/HotKeyCaptions.h"
#include "app/tray/TrayStatus.h"
#include "platform/base/Errors.h"

namespace vardocle {

void ShowStartBalloon(TTrayStatus& tray, const THotKeyBindings& keys,
                      const std::filesystem::path& settingFile) {
    const QString refused = RefusedHotKeysNotice(keys.RefusedTexts());
    // Without a settings file nothing could remember the word, and it would
    // come on every start.
    const bool told = settingFile.empty() || HotKeysAnnounced(settingFile);
    // Keys another program holds matter more than the greeting, and their
    // notice already says where to change them; the first word waits.
    if (told || !refused.isEmpty()) {
        tray.ShowWhenPlaced(refused.isEmpty() ? QStringLiteral("欢迎使用Vardocle!") : refused);
        return;
    }
    tray.ShowWhenPlaced(HotKeysAnnouncement(keys.Keys()), [settingFile] {
        try {
            MarkHotKeysAnnounced(settingFile);
        } catch (const Exception&) {
            // A file that cannot be written was reported when it was read;
            // the word simply comes again next time.
        }
    });
}

} // namespace vardocle
