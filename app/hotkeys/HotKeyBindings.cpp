#include "app/hotkeys/HotKeyBindings.h"

#include "hotkeys/HotKeyText.h"

namespace vardocle {

THotKeyBindings::THotKeyBindings(THotKeyManager& manager, const THotKeySet& keys, QObject* parent)
    : QObject(parent), FManager(manager), FKeys(keys) {
    for (std::size_t row = 0; row < FKeys.size(); ++row)
        FIds[row] = FKeys[row] != 0 ? FManager.RegisterKey(FKeys[row]) : 0;
}

std::array<bool, 6> THotKeyBindings::Refused() const {
    std::array<bool, 6> refused{};
    // Without a desktop to take keys from, no other program holds them.
    if (!FManager.DesktopTakesKeys())
        return refused;
    for (std::size_t row = 0; row < FKeys.size(); ++row)
        refused[row] = FKeys[row] != 0 && FIds[row] == 0;
    return refused;
}

QStringList THotKeyBindings::RefusedTexts() const {
    QStringList texts;
    const std::array<bool, 6> refused = Refused();
    for (std::size_t row = 0; row < FKeys.size(); ++row)
        if (refused[row])
            texts << HotKeyDisplayText(FKeys[row], false);
    return texts;
}

int THotKeyBindings::RowOf(THotKey key) const {
    for (std::size_t row = 0; row < FKeys.size(); ++row)
        if (key != 0 && FKeys[row] == key)
            return static_cast<int>(row);
    return -1;
}

THotKeyBindings::TChange THotKeyBindings::Change(std::size_t row, THotKey key) {
    // The same key again is taken anew when another program held it before.
    if (FKeys.at(row) == key && (key == 0 || FIds[row] != 0))
        return TChange::Done;
    const int other = RowOf(key);
    if (other >= 0 && static_cast<std::size_t>(other) != row)
        return TChange::InUseHere;
    // The new key is taken before the old one goes: refused, the row keeps
    // its key without ever having let it go.
    std::uint16_t id = 0;
    if (key != 0) {
        id = FManager.RegisterKey(key);
        if (id == 0 && FManager.DesktopTakesKeys())
            return TChange::HeldElsewhere;
    }
    if (FIds[row] != 0)
        FManager.UnregisterKey(FIds[row]);
    FKeys[row] = key;
    FIds[row] = id;
    emit Changed();
    return TChange::Done;
}

} // namespace vardocle
