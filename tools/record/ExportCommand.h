#pragma once
// `vardocle-record --export FILE.avi [OUT.mp4|OUT.mkv] [--force]`: turns a
// finished recording into a file to share, without a screen or sound.
#include <string>
#include <vector>

namespace vardocle {

// True when the arguments (without the program name) ask for an export.
bool IsExportCommand(const std::vector<std::string>& Arguments);
// Runs it: 0 done, 1 failed (the reason on standard error), 2 a bad command line.
int RunExportCommand(const std::vector<std::string>& Arguments);
std::string ExportUsage();

} // namespace vardocle
