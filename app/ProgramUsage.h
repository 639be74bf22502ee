#pragma once
// `vardocle --help` and `vardocle --version`: answered on standard output
// before anything else, without a display.
#include <QString>

#include <optional>

namespace vardocle {

// The usage text, in Chinese and English.
QString ProgramUsage();
// "vardocle 1.0.0.0".
QString ProgramVersionLine();

// When the command line asks for help or the version: prints it and gives
// the exit status (0); a bad command line: the reason on stderr and 2.
// Nothing when the program is to start.
std::optional<int> AnswerCommandLine(int argc, char** argv);

} // namespace vardocle
