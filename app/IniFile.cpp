#include "app/IniFile.h"

#include "app/FileReplace.h"
#include "platform/base/Paths.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <vector>

namespace vardocle {

namespace {

constexpr const char* kByteOrderMark = "\xEF\xBB\xBF";

std::string Trim(const std::string& text) {
    const auto blank = [](unsigned char c) { return c == ' ' || c == '\t'; };
    auto first = std::find_if_not(text.begin(), text.end(), blank);
    auto last = std::find_if_not(text.rbegin(), std::make_reverse_iterator(first), blank).base();
    return std::string(first, last);
}

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

// "[Name]" → Name (blanks around it removed).
bool SectionOf(const std::string& line, std::string& name) {
    const std::string text = Trim(line);
    if (text.empty() || text.front() != '[')
        return false;
    const auto close = text.find(']');
    if (close == std::string::npos)
        return false;
    name = Trim(text.substr(1, close - 1));
    return true;
}

// "key = value" → key, value (blanks around both removed). Comment lines
// carry no key.
bool EntryOf(const std::string& line, std::string& key, std::string& value) {
    const std::string text = Trim(line);
    if (text.empty() || text.front() == ';' || text.front() == '#')
        return false;
    const auto equals = text.find('=');
    if (equals == std::string::npos)
        return false;
    key = Trim(text.substr(0, equals));
    value = Trim(text.substr(equals + 1));
    return !key.empty();
}

// The file as lines, with what it takes to write it back the way it was.
struct TIniDocument {
    bool ByteOrderMark = false;
    std::string LineEnd = "\n";
    std::vector<std::string> Lines;

    static TIniDocument Parse(std::string bytes) {
        TIniDocument document;
        if (bytes.compare(0, 3, kByteOrderMark) == 0) {
            document.ByteOrderMark = true;
            bytes.erase(0, 3);
        }
        const auto firstBreak = bytes.find('\n');
        if (firstBreak != std::string::npos && firstBreak > 0 && bytes[firstBreak - 1] == '\r')
            document.LineEnd = "\r\n";
        std::string line;
        std::istringstream stream(bytes);
        while (std::getline(stream, line)) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            document.Lines.push_back(line);
        }
        return document;
    }

    std::string Serialize() const {
        std::string bytes = ByteOrderMark ? kByteOrderMark : "";
        for (const auto& line : Lines)
            bytes += line + LineEnd;
        return bytes;
    }

    // The line of the key in the first section of that name that has it.
    std::optional<std::size_t> FindKey(const std::string& section, const std::string& key,
                                       std::string* value = nullptr) const {
        bool inSection = false;
        std::string name;
        std::string entryKey;
        std::string entryValue;
        for (std::size_t i = 0; i < Lines.size(); ++i) {
            if (SectionOf(Lines[i], name)) {
                inSection = SameName(name, section);
            } else if (inSection && EntryOf(Lines[i], entryKey, entryValue) &&
                       SameName(entryKey, key)) {
                if (value)
                    *value = entryValue;
                return i;
            }
        }
        return std::nullopt;
    }

    // Where a new key of the section goes: after the section's last
    // non-blank line, so the blank lines before the next section stay there.
    std::optional<std::size_t> InsertionPoint(const std::string& section) const {
        std::string name;
        for (std::size_t i = 0; i < Lines.size(); ++i) {
            if (!SectionOf(Lines[i], name) || !SameName(name, section))
                continue;
            std::size_t last = i;
            for (std::size_t j = i + 1; j < Lines.size() && !SectionOf(Lines[j], name); ++j)
                if (!Trim(Lines[j]).empty())
                    last = j;
            return last + 1;
        }
        return std::nullopt;
    }

    void Set(const std::string& section, const std::string& key, const std::string& value) {
        const std::string line = key + "=" + value;
        if (auto found = FindKey(section, key)) {
            Lines[*found] = line;
        } else if (auto at = InsertionPoint(section)) {
            Lines.insert(Lines.begin() + static_cast<std::ptrdiff_t>(*at), line);
        } else {
            Lines.push_back("[" + section + "]");
            Lines.push_back(line);
        }
    }
};

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

TIniDocument Load(const std::filesystem::path& file) {
    auto bytes = ReadBytes(file);
    return bytes ? TIniDocument::Parse(*bytes) : TIniDocument{};
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
    std::string value;
    return Load(FFileName).FindKey(section, key, &value) ? value : defaultValue;
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
    return Load(FFileName).FindKey(section, key).has_value();
}

void TIniFile::WriteString(const std::string& section, const std::string& key,
                           const std::string& value) {
    const auto unableToWrite = [this] {
        return EIniFileException("Unable to write to " + ExpandFileName(FFileName.string()));
    };
    TIniDocument document;
    std::error_code error;
    if (std::filesystem::exists(std::filesystem::symlink_status(FFileName, error))) {
        // A file we cannot read would lose its other lines if we wrote it.
        auto bytes = ReadBytes(FFileName);
        if (!bytes)
            throw unableToWrite();
        document = TIniDocument::Parse(*bytes);
    }
    std::string flat = value;
    std::replace(flat.begin(), flat.end(), '\r', ' ');
    std::replace(flat.begin(), flat.end(), '\n', ' ');
    document.Set(section, key, flat);
    if (!ReplaceFileContents(FFileName, document.Serialize()))
        throw unableToWrite();
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key, int value) {
    WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

} // namespace vardocle
