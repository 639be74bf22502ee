#pragma once
// Names of the keys that hotkey values hold (virtual-key codes).
#include <QString>

#include <cstdint>

namespace vardocle {

// The name a US English keyboard gives the key ("Home", "Num 7", "F5", "A");
// empty for codes without a key name, among them the browser and media keys.
QString UsKeyName(std::uint8_t key);

// The key's name in the user's language where the toolkit translates it,
// otherwise the US English name.
QString LocalizedKeyName(std::uint8_t key);

} // namespace vardocle
