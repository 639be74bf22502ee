#pragma once
#include <filesystem>
#include <string>

namespace vardocle {

// The absolute, normalised form of a path (relative to the working folder).
std::string ExpandFileName(const std::string& path);

// The folder of the running executable. The program's own files (settings,
// history, help) live there, never in the working folder.
std::filesystem::path ExecutableDir();

// The name rules for the sound file of a recording: the extension replaced by
// ".Wav", or ".Wav" appended when there is none.
std::string ChangeFileExt(const std::string& path, const std::string& extension);

} // namespace vardocle
