#pragma once
// A settings file in the usual INI layout ("[Section]" lines, "key=value"
// lines). Every read looks at the file as it is now; every write rewrites it
// at once with only that key changed, keeping every other line, comment and
// section in its place, the byte-order mark and the line ends.
#include "platform/base/Errors.h"

#include <filesystem>
#include <string>

namespace vardocle {

// "Unable to write to <full path>"
class EIniFileException : public Exception {
public:
    using Exception::Exception;
};

class TIniFile {
public:
    explicit TIniFile(std::filesystem::path fileName);

    const std::filesystem::path& FileName() const { return FFileName; }

    // Section and key names match without regard to case; the first match
    // wins. A missing file, section or key gives the default.
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& defaultValue) const;
    // Decimal, or hexadecimal after "0x"/"0X"; anything else that is not a
    // whole number gives the default. Numbers beyond the int range are
    // brought to its nearest end.
    int ReadInteger(const std::string& section, const std::string& key, int defaultValue) const;
    // An integer; any value but 0 is true.
    bool ReadBool(const std::string& section, const std::string& key, bool defaultValue) const;
    bool ValueExists(const std::string& section, const std::string& key) const;

    // A missing file is created, a missing section appended. Line breaks in
    // the value become spaces, so a value can never add lines to the file.
    // Throws EIniFileException when the file cannot be written.
    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void WriteInteger(const std::string& section, const std::string& key, int value);
    // Written as "1" or "0".
    void WriteBool(const std::string& section, const std::string& key, bool value);
    // Takes the key out of the file; nothing is written when it is not there.
    // Throws EIniFileException when the file cannot be written.
    void DeleteKey(const std::string& section, const std::string& key);

private:
    std::filesystem::path FFileName;
};

// The integer a settings value stands for, following ReadInteger's rules;
// false when it is not a number.
bool ParseIniInteger(const std::string& text, int& value);

} // namespace vardocle
