#pragma once
// The hotkeys in use, wherever the windows name them: the buttons' hints,
// the tray menu, the help window and the balloons.
#include "app/hotkeys/HotKeySettings.h"

#include <QString>

class QAction;

namespace vardocle {

class TFrmHelp;
class TImageCtrl;

// "Alt+1", or "Alt + 1" when `spaced`; "无" for a row without a key.
QString HotKeyCaption(THotKey key, bool spaced);

// Where the main window names its hotkeys, by row; null where a row has none.
struct THotKeyPlaces {
    std::array<TImageCtrl*, 6> Buttons{};
    std::array<QAction*, 6> Items{};
    TFrmHelp* Help = nullptr;
};

// Names each row's key in its places; a key another program holds is marked.
void ShowHotKeysInUse(const THotKeySet& keys, const std::array<bool, 6>& refused,
                      const THotKeyPlaces& places);

// The balloon when the window hides to the tray, naming the show/hide key.
QString HideBalloonText(THotKey showHide);

// The one balloon of the first start: the keys the program takes from every
// other program, and where to change them.
QString HotKeysAnnouncement(const THotKeySet& keys);

} // namespace vardocle
