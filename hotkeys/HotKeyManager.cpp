#include "hotkeys/HotKeyManager.h"

#include <string>

namespace vardocle {

THotKeyManager::THotKeyManager(QObject* owner) : THotKeyManager(owner, CreateHotKeyReceiver()) {}

THotKeyManager::THotKeyManager(QObject* owner, std::unique_ptr<IHotKeyReceiver> receiver,
                               TAtomTable& atoms)
    : QObject(owner), FHandle(std::move(receiver)), FAtoms(atoms) {
    FHandle->SetHandler([this](const THotKeyMessage& message) { HandleHotKeyMessage(message); });
}

THotKeyManager::~THotKeyManager() {
    UnregisterAll();
    FHandle->SetHandler(nullptr);
}

std::uint16_t THotKeyManager::RegisterKey(THotKey HotKey) {
    const THotKeyParts parts = SplitHotKeyValue(HotKey);
    const std::uint16_t atom = FAtoms.Add(kHotKeyAtomPrefix + std::to_string(HotKey));
    if (atom == 0)
        return 0;
    if (!FHandle->RegisterHotKey(atom, parts.Modifiers, parts.Key)) {
        FAtoms.Delete(atom);
        return 0;
    }
    FHotKeyList.push_back(HotKeyEntry{HotKey, atom});
    return atom;
}

bool THotKeyManager::UnregisterKey(std::uint16_t Id) {
    for (auto entry = FHotKeyList.begin(); entry != FHotKeyList.end(); ++entry) {
        if (entry->Id != Id)
            continue;
        FHandle->UnregisterHotKey(entry->Id);
        FAtoms.Delete(entry->Id);
        FHotKeyList.erase(entry);
        return true;
    }
    return false;
}

void THotKeyManager::UnregisterAll() {
    while (!FHotKeyList.empty()) {
        const HotKeyEntry entry = FHotKeyList.back();
        // The atom goes even when the desktop reports a failure: the entry is
        // gone either way and a kept atom would only leak.
        FHandle->UnregisterHotKey(entry.Id);
        FAtoms.Delete(entry.Id);
        FHotKeyList.pop_back();
    }
}

void THotKeyManager::HandleHotKeyMessage(const THotKeyMessage& Message) {
    if (!OnHotKeyPressed)
        return;
    const THotKey value = MakeHotKeyValue(Message.Modifiers, Message.Key);
    for (const auto& entry : FHotKeyList)
        if (entry.HotKey == value) {
            // A copy: the handler may reassign the event or destroy the manager.
            TOnHotKeyPressed handler = OnHotKeyPressed;
            handler(value, Message.Id);
            return;
        }
}

} // namespace vardocle
