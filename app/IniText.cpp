#include "app/IniText.h"

#include <algorithm>
#include <cctype>
#include <cstddef>

namespace vardocle {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::size_t kNoLine = std::string_view::npos;

std::string_view Trim(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

// "[Name]" → Name (blanks around it removed).
bool SectionOf(std::string_view line, std::string_view& name) {
    const std::string_view text = Trim(line);
    if (text.empty() || text.front() != '[')
        return false;
    const auto close = text.find(']');
    if (close == std::string_view::npos)
        return false;
    name = Trim(text.substr(1, close - 1));
    return true;
}

// "key = value" → key, value (blanks around both removed). Comment lines
// carry no key.
bool EntryOf(std::string_view line, std::string_view& key, std::string_view& value) {
    const std::string_view text = Trim(line);
    if (text.empty() || text.front() == ';' || text.front() == '#')
        return false;
    const auto equals = text.find('=');
    if (equals == std::string_view::npos)
        return false;
    key = Trim(text.substr(0, equals));
    value = Trim(text.substr(equals + 1));
    return !key.empty();
}

std::string_view WithoutByteOrderMark(std::string_view bytes) {
    if (bytes.substr(0, kByteOrderMark.size()) == kByteOrderMark)
        bytes.remove_prefix(kByteOrderMark.size());
    return bytes;
}

// The lines of the text one at a time, without their line ends; text after
// the last line break is a line too, an empty rest is none.
class TLineWalk {
public:
    explicit TLineWalk(std::string_view text) : FRest(text) {}

    bool Next(std::string_view& line) {
        std::string_view raw;
        return Next(line, raw);
    }
    // `raw` is the line with its line end as the file has it.
    bool Next(std::string_view& line, std::string_view& raw) {
        if (FRest.empty())
            return false;
        const auto end = FRest.find('\n');
        line = FRest.substr(0, end);
        raw = FRest.substr(0, end == std::string_view::npos ? end : end + 1);
        FRest.remove_prefix(raw.size());
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        return true;
    }

private:
    std::string_view FRest;
};

struct TKeyPlace {
    std::size_t KeyLine = kNoLine;      // the line holding the key
    std::size_t InsertBefore = kNoLine; // where a new key of the section goes
    std::string_view Value;
};

TKeyPlace FindKey(std::string_view text, const std::string& section, const std::string& key) {
    TKeyPlace place;
    TLineWalk walk(text);
    std::string_view line;
    std::string_view name;
    std::string_view entryKey;
    std::string_view entryValue;
    bool inSection = false;
    // Only the first section of the name takes new keys.
    bool inFirstSection = false;
    for (std::size_t index = 0; walk.Next(line); ++index) {
        if (SectionOf(line, name)) {
            inSection = SameName(name, section);
            inFirstSection = inSection && place.InsertBefore == kNoLine;
            if (inFirstSection)
                place.InsertBefore = index + 1;
        } else if (inSection && EntryOf(line, entryKey, entryValue) && SameName(entryKey, key)) {
            place.KeyLine = index;
            place.Value = entryValue;
            return place;
        } else if (inFirstSection && !Trim(line).empty()) {
            // After the last non-blank line, so the blank lines before the
            // next section stay there.
            place.InsertBefore = index + 1;
        }
    }
    return place;
}

} // namespace

std::optional<std::string> IniLookup(std::string_view bytes, const std::string& section,
                                     const std::string& key) {
    const TKeyPlace place = FindKey(WithoutByteOrderMark(bytes), section, key);
    if (place.KeyLine == kNoLine)
        return std::nullopt;
    return std::string(place.Value);
}

std::string IniAssign(std::string_view bytes, const std::string& section, const std::string& key,
                      const std::string& value) {
    const std::string_view text = WithoutByteOrderMark(bytes);
    std::string contents(text.size() == bytes.size() ? std::string_view() : kByteOrderMark);
    const auto firstBreak = text.find('\n');
    const std::string_view lineEnd =
        firstBreak != std::string_view::npos && firstBreak > 0 && text[firstBreak - 1] == '\r'
            ? "\r\n"
            : "\n";
    const std::string entry = key + "=" + value;
    const TKeyPlace place = FindKey(text, section, key);
    // A line stands in for the key's line, or comes before the insertion point.
    const std::size_t at = place.KeyLine != kNoLine ? place.KeyLine : place.InsertBefore;
    contents.reserve(text.size() + entry.size() + section.size() + 8);
    TLineWalk walk(text);
    std::string_view line;
    std::string_view raw;
    std::size_t index = 0;
    for (; walk.Next(line, raw); ++index) {
        if (index == at) {
            contents.append(entry).append(lineEnd);
            if (place.KeyLine != kNoLine)
                continue;
        }
        contents.append(raw);
        // A last line without its line end gets one; a carriage return
        // already there only needs the line feed.
        if (raw.back() == '\r')
            contents.append("\n");
        else if (raw.back() != '\n')
            contents.append(lineEnd);
    }
    if (at == kNoLine)
        contents.append("[").append(section).append("]").append(lineEnd);
    if (at == kNoLine || at == index)
        contents.append(entry).append(lineEnd);
    return contents;
}

std::string IniRemove(std::string_view bytes, const std::string& section, const std::string& key) {
    std::string contents(bytes);
    for (;;) {
        const std::size_t markSize = contents.size() - WithoutByteOrderMark(contents).size();
        const std::string_view text = std::string_view(contents).substr(markSize);
        const TKeyPlace place = FindKey(text, section, key);
        if (place.KeyLine == kNoLine)
            return contents;
        // The key's line, with its line end, is cut out of the bytes.
        TLineWalk walk(text);
        std::string_view line;
        std::string_view raw;
        std::size_t offset = markSize;
        for (std::size_t index = 0; index < place.KeyLine; ++index) {
            walk.Next(line, raw);
            offset += raw.size();
        }
        walk.Next(line, raw);
        contents.erase(offset, raw.size());
    }
}

} // namespace vardocle
