#pragma once
// Registers system-wide hotkeys, keeps the list of what it registered and
// reports each press of one of them. It knows no commands: the owner binds
// OnHotKeyPressed to its own dispatcher.
#include "hotkeys/HotKeyValue.h"
#include "platform/hotkeys/AtomTable.h"
#include "platform/hotkeys/HotKeyReceiver.h"

#include <QObject>

#include <functional>
#include <memory>
#include <vector>

namespace vardocle {

// The atoms that identify registrations are named this, followed by the
// hotkey value in decimal digits.
inline constexpr const char* kHotKeyAtomPrefix = "HotKeyManagerHotKey";

struct HotKeyEntry {
    THotKey HotKey = 0;
    std::uint16_t Id = 0; // the atom that serves as the registration's identifier
};

// (HotKey, Index): the value pressed and the identifier RegisterKey returned.
using TOnHotKeyPressed = std::function<void(THotKey HotKey, std::uint16_t Index)>;

class THotKeyManager : public QObject {
public:
    // Owned by `owner` (may be null), which destroys it.
    explicit THotKeyManager(QObject* owner);
    // With a given receiver and atom table; the one above uses the desktop's.
    THotKeyManager(QObject* owner, std::unique_ptr<IHotKeyReceiver> receiver,
                   TAtomTable& atoms = GlobalAtoms());
    ~THotKeyManager() override;
    THotKeyManager(const THotKeyManager&) = delete;
    THotKeyManager& operator=(const THotKeyManager&) = delete;

    // The identifier of the new registration, 0 when the desktop refused the
    // hotkey (then nothing is kept).
    std::uint16_t RegisterKey(THotKey HotKey);
    // Releases the registration with this identifier; false when there is none.
    bool UnregisterKey(std::uint16_t Id);
    // Releases every hotkey, the last registered first.
    void UnregisterAll();

    const std::vector<HotKeyEntry>& Entries() const { return FHotKeyList; }
    // False when the desktop takes no keys from any program (no X server).
    bool DesktopTakesKeys() const { return FHandle->TakesKeys(); }

    // Raised on the user-interface thread for each press of a registered hotkey.
    TOnHotKeyPressed OnHotKeyPressed;

protected:
    // Every press the receiver reports passes here.
    virtual void HandleHotKeyMessage(const THotKeyMessage& Message);

private:
    std::unique_ptr<IHotKeyReceiver> FHandle;
    std::vector<HotKeyEntry> FHotKeyList;
    TAtomTable& FAtoms;
};

} // namespace vardocle
