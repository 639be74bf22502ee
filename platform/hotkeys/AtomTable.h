#pragma once
// A table of named 16-bit identifiers with reference counts. Hotkey
// registrations use one identifier per hotkey, named after the hotkey value,
// so that the same name always yields the same identifier while it is held.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

namespace vardocle {

class TAtomTable {
public:
    // String atoms live in this range; 0 never names an atom.
    static constexpr std::uint16_t kFirstAtom = 0xC000;
    static constexpr std::uint16_t kLastAtom = 0xFFFF;
    static constexpr std::size_t kMaxNameLength = 255;

    // The atom of the name (case does not matter); a name already held gets
    // its atom back with one more reference. 0 when the name is empty, too
    // long, or the table is full.
    std::uint16_t Add(const std::string& name);
    // Drops one reference; the atom is gone with its last reference. False
    // when the atom is not held.
    bool Delete(std::uint16_t atom);
    // The atom held under the name, 0 when none.
    std::uint16_t Find(const std::string& name) const;
    // The name an atom was added with, empty when it is not held.
    std::string Name(std::uint16_t atom) const;
    std::size_t Count() const { return FById.size(); }

private:
    struct TEntry {
        std::string Name;
        std::string Key;
        unsigned References = 0;
    };
    std::uint16_t FreeAtom() const;

    std::map<std::uint16_t, TEntry> FById;
    std::map<std::string, std::uint16_t> FByKey;
    std::uint16_t FNext = kFirstAtom;
};

// The process's table, used from the user-interface thread.
TAtomTable& GlobalAtoms();

} // namespace vardocle
