#include "app/recording/SwitchedNumber.h"

#include "app/IniFile.h"
#include "app/SettingStore.h"

#include <algorithm>
#include <cstdint>

namespace vardocle {

TSwitchedNumber ReadSwitchedNumber(const std::filesystem::path& File, const char* Key, int Default,
                                   int Most) {
    const TIniFile ini(File);
    TSwitchedNumber number{false, Default};
    const int value = ini.ReadInteger(kSettingSection, Key, -Default);
    number.On = value > 0;
    if (value != 0) {
        // Widened first: the most negative int has no negative in an int.
        const std::int64_t size = value > 0 ? value : -std::int64_t{value};
        number.Value = static_cast<int>(std::clamp<std::int64_t>(size, 1, Most));
    }
    return number;
}

void WriteSwitchedNumber(const std::filesystem::path& File, const char* Key,
                         const TSwitchedNumber& Number, int Default) {
    TIniFile ini(File);
    if (ini.ValueExists(kSettingSection, Key) || Number != TSwitchedNumber{false, Default})
        ini.WriteInteger(kSettingSection, Key, Number.On ? Number.Value : -Number.Value);
}

} // namespace vardocle
