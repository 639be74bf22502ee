#pragma once
// A number of the settings that can be switched off and keeps its value while
// off, in one Setting.ini key that is read only when present: positive when
// on, negative for the value kept while off, 0 or absent for the default.
#include <filesystem>

namespace vardocle {

struct TSwitchedNumber {
    bool On = false;
    int Value = 0;
    bool operator==(const TSwitchedNumber&) const = default;
};

// The key's number, brought into 1..Most; off with Default when the key is
// missing, 0 or unreadable.
TSwitchedNumber ReadSwitchedNumber(const std::filesystem::path& File, const char* Key, int Default,
                                   int Most);
// Written when it differs from off with Default or the file already holds
// the key. Throws EIniFileException when the file cannot be written.
void WriteSwitchedNumber(const std::filesystem::path& File, const char* Key,
                         const TSwitchedNumber& Number, int Default);

} // namespace vardocle
