#pragma once
// The six hotkeys of the main window, in the order they are registered.
#include "hotkeys/HotKeyValue.h"
#include "platform/hotkeys/HotKeyReceiver.h"

#include <array>

namespace vardocle {

enum THotKeyRow { RowStart, RowPause, RowResume, RowStop, RowShowHide, RowExit };

inline const std::array<THotKey, 6> kHotKeyTable = {
    MakeHotKeyValue(MOD_ALT, '1'),     MakeHotKeyValue(MOD_ALT, '2'),
    MakeHotKeyValue(MOD_ALT, '3'),     MakeHotKeyValue(MOD_ALT, '4'),
    MakeHotKeyValue(MOD_CONTROL, 'S'), MakeHotKeyValue(MOD_ALT, 'Q')};

} // namespace vardocle
