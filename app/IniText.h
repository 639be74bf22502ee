#pragma once
// The contents of a settings file ("[Section]" lines, "key=value" lines) as
// bytes: looked up and changed by walking its lines in place, so a file of
// millions of lines or one enormous line costs no more than its own size.
#include <optional>
#include <string>
#include <string_view>

namespace vardocle {

// The value of the key in the first section of that name that has it; names
// match without regard to case. Empty when there is no such key.
std::optional<std::string> IniLookup(std::string_view bytes, const std::string& section,
                                     const std::string& key);

// The file's new contents with the key set to `value` (which must hold no line
// break): its line replaced where it exists, else added after the section's
// last non-blank line, else a new section appended. Every other line stays
// as it was, with its own line end, and so does the byte-order mark; new
// lines, and a last line that had no line end, end like the first line.
std::string IniAssign(std::string_view bytes, const std::string& section, const std::string& key,
                      const std::string& value);

// The file's new contents without the key (every line of it, should the
// section hold it more than once): every other line stays as it was.
std::string IniRemove(std::string_view bytes, const std::string& section, const std::string& key);

} // namespace vardocle
