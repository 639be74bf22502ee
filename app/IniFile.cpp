#include "app/IniFile.h"

#include "app/FileReplace.h"
#include "app/IniText.h"
#include "platform/base/Paths.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <fstream>
#include <iterator>
#include <optional>

namespace vardocle {

namespace {

std::string Trim(const std::string& text) {
    const auto blank = [](unsigned char c) { return c == ' ' || c == '\t'; };
    auto first = std::find_if_not(text.begin(), text.end(), blank);
    auto last = std::find_if_not(text.rbegin(), std::make_reverse_iterator(first), blank).base();
    return std::string(first, last);
}

// The file's bytes; nullopt when it does not exist or cannot be read.
std::optional<std::string> ReadBytes(const std::filesystem::path& file) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error))
        return std::nullopt;
    std::ifstream stream(file, std::ios::binary);
    if (!stream)
        return std::nullopt;
    std::string bytes((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
    if (stream.bad())
        return std::nullopt;
    return bytes;
}

std::optional<std::string> Lookup(const std::filesystem::path& file, const std::string& section,
                                  const std::string& key) {
    const auto bytes = ReadBytes(file);
    return bytes ? IniLookup(*bytes, section, key) : std::nullopt;
}

} // namespace

bool ParseIniInteger(const std::string& text, int& value) {
    const std::string trimmed = Trim(text);
    std::size_t at = 0;
    int base = 10;
    bool negative = false;
    if (trimmed.size() > 2 && trimmed[0] == '0' && (trimmed[1] == 'x' || trimmed[1] == 'X')) {
        base = 16;
        at = 2;
    } else if (!trimmed.empty() && (trimmed[0] == '-' || trimmed[0] == '+')) {
        negative = trimmed[0] == '-';
        at = 1;
    }
    if (at >= trimmed.size())
        return false;
    // Accumulate with saturation: far too large a number still means "large".
    long long magnitude = 0;
    constexpr long long kLimit = static_cast<long long>(INT_MAX) + 1;
    for (; at < trimmed.size(); ++at) {
        const char c = trimmed[at];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && std::isxdigit(static_cast<unsigned char>(c)))
            digit = std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
        else
            return false;
        magnitude = std::min(magnitude * base + digit, kLimit);
    }
    if (negative)
        value = static_cast<int>(-magnitude);
    else
        value = static_cast<int>(std::min<long long>(magnitude, INT_MAX));
    return true;
}

TIniFile::TIniFile(std::filesystem::path fileName) : FFileName(std::move(fileName)) {}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) const {
    return Lookup(FFileName, section, key).value_or(defaultValue);
}

int TIniFile::ReadInteger(const std::string& section, const std::string& key,
                          int defaultValue) const {
    int value = 0;
    return ParseIniInteger(ReadString(section, key, std::string()), value) ? value : defaultValue;
}

bool TIniFile::ReadBool(const std::string& section, const std::string& key,
                        bool defaultValue) const {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

bool TIniFile::ValueExists(const std::string& section, const std::string& key) const {
    return Lookup(FFileName, section, key).has_value();
}

void TIniFile::WriteString(const std::string& section, const std::string& key,
                           const std::string& value) {
    const auto unableToWrite = [this] {
        return EIniFileException("Unable to write to " + ExpandFileName(FFileName.string()));
    };
    std::string bytes;
    std::error_code error;
    if (std::filesystem::exists(std::filesystem::symlink_status(FFileName, error))) {
        // A file we cannot read would lose its other lines if we wrote it.
        auto existing = ReadBytes(FFileName);
        if (!existing)
            throw unableToWrite();
        bytes = std::move(*existing);
    }
    std::string flat = value;
    std::replace(flat.begin(), flat.end(), '\r', ' ');
    std::replace(flat.begin(), flat.end(), '\n', ' ');
    if (!ReplaceFileContents(FFileName, IniAssign(bytes, section, key, flat)))
        throw unableToWrite();
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key, int value) {
    WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

void TIniFile::DeleteKey(const std::string& section, const std::string& key) {
    const auto bytes = ReadBytes(FFileName);
    if (!bytes || !IniLookup(*bytes, section, key))
        return;
    if (!ReplaceFileContents(FFileName, IniRemove(*bytes, section, key)))
        throw EIniFileException("Unable to write to " + ExpandFileName(FFileName.string()));
}

} // namespace vardocle
