#pragma once
#include <filesystem>
#include <string>

namespace vardocle {

// Gives the file exactly these contents, or leaves it as it was and returns
// false. An existing file is replaced through a new file beside it, so a
// failure half-way never leaves it cut short; it keeps its permissions, and
// a file marked read-only (no write permission for anyone) is refused even
// for a user who could override that. A file behind a symbolic link is
// written where the link points.
bool ReplaceFileContents(const std::filesystem::path& file, const std::string& contents);

} // namespace vardocle
