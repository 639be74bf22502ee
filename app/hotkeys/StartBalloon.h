#pragma once
// The balloon at start-up: the keys another program holds, or on the first
// start the keys the program takes and where to change them, or the greeting.
#include <filesystem>

namespace vardocle {

class THotKeyBindings;
class TTrayStatus;

// Shown once the tray has placed the icon. The first-start word is given
// once: the settings file remembers that it was shown.
void ShowStartBalloon(TTrayStatus& tray, const THotKeyBindings& keys,
                      const std::filesystem::path& settingFile);

} // namespace vardocle
