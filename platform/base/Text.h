#pragma once
// Text held in files and fixed-size fields is in the system's 8-bit encoding
// (UTF-8 here) and may be cut by byte count in the middle of a character.
#include <QString>
#include <string>

namespace vardocle {

// Decodes without failing: broken sequences become replacement characters.
QString DecodeLenient(const std::string& bytes);
QString DecodeLenient(const char* bytes, std::size_t length);

// The system encoding of a text shown to or typed by the user.
std::string EncodeSystem(const QString& text);

} // namespace vardocle
