#include "platform/hotkeys/AtomTable.h"

#include <algorithm>
#include <cctype>

namespace vardocle {

namespace {

std::string FoldCase(const std::string& name) {
    std::string key = name;
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return key;
}

} // namespace

std::uint16_t TAtomTable::Add(const std::string& name) {
    if (name.empty() || name.size() > kMaxNameLength)
        return 0;
    const std::string key = FoldCase(name);
    if (auto found = FByKey.find(key); found != FByKey.end()) {
        ++FById[found->second].References;
        return found->second;
    }
    const std::uint16_t atom = FreeAtom();
    if (atom == 0)
        return 0;
    FById[atom] = TEntry{name, key, 1};
    FByKey[key] = atom;
    FNext = atom == kLastAtom ? kFirstAtom : static_cast<std::uint16_t>(atom + 1);
    return atom;
}

bool TAtomTable::Delete(std::uint16_t atom) {
    auto found = FById.find(atom);
    if (found == FById.end())
        return false;
    if (--found->second.References == 0) {
        FByKey.erase(found->second.Key);
        FById.erase(found);
    }
    return true;
}

std::uint16_t TAtomTable::Find(const std::string& name) const {
    auto found = FByKey.find(FoldCase(name));
    return found == FByKey.end() ? 0 : found->second;
}

std::string TAtomTable::Name(std::uint16_t atom) const {
    auto found = FById.find(atom);
    return found == FById.end() ? std::string() : found->second.Name;
}

std::uint16_t TAtomTable::FreeAtom() const {
    // Atoms are handed out round-robin, so an identifier just released is not
    // reused at once by an unrelated name.
    constexpr unsigned kRange = kLastAtom - kFirstAtom + 1;
    if (FById.size() >= kRange)
        return 0;
    std::uint16_t atom = FNext;
    while (FById.count(atom) != 0)
        atom = atom == kLastAtom ? kFirstAtom : static_cast<std::uint16_t>(atom + 1);
    return atom;
}

TAtomTable& GlobalAtoms() {
    static TAtomTable table;
    return table;
}

} // namespace vardocle
