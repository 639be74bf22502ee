#pragma once
// The six hotkeys the main window holds: which combination each row has (or
// none), what the desktop gave it, and changing one while the program runs.
// A combination is tried on the desktop before it is taken, so a key another
// program holds is refused at the moment the user picks it.
#include "app/hotkeys/HotKeySettings.h"
#include "hotkeys/HotKeyManager.h"

#include <QObject>
#include <QStringList>

namespace vardocle {

class THotKeyBindings : public QObject {
    Q_OBJECT
public:
    enum class TChange { Done, HeldElsewhere, InUseHere };

    // Registers each row's key through `manager` (owned elsewhere, outliving
    // this object).
    THotKeyBindings(THotKeyManager& manager, const THotKeySet& keys, QObject* parent = nullptr);

    // The combination chosen for each row (0: none), also when the desktop
    // refused it this run.
    const THotKeySet& Keys() const { return FKeys; }
    // The identifier of each row's registration; 0 when it has none.
    const std::array<std::uint16_t, 6>& Ids() const { return FIds; }
    // Rows whose chosen key another program holds.
    std::array<bool, 6> Refused() const;
    // The refused keys as "Alt+1".
    QStringList RefusedTexts() const;

    // Gives `row` the combination `key` (0 takes its key away). A key that
    // another program holds, or that another row has, is refused and the
    // row keeps what it had.
    TChange Change(std::size_t row, THotKey key);
    // The row that has `key`, or -1.
    int RowOf(THotKey key) const;

signals:
    void Changed();

private:
    THotKeyManager& FManager;
    THotKeySet FKeys{};
    std::array<std::uint16_t, 6> FIds{};
};

} // namespace vardocle
