#pragma once
// The names of the files of a recording split by time: the first is the
// name the user chose, the next ones carry a counter before the extension
// ("课程.avi", "课程-002.avi", ...).
#include <functional>
#include <string>

namespace vardocle {

// Whether a name is taken (a file exists, or another part uses it).
using TNameTaken = std::function<bool(const std::string& Name)>;

// The name of the next part: the counter one above Counter (the last one
// used, 1 for the first part) or the first above it whose name is not
// taken. Counter becomes the one used.
std::string NextSegmentFileName(const std::string& FirstName, int& Counter,
                                const TNameTaken& Taken);

// A file with that name exists, or its sound file does.
bool SegmentNameTaken(const std::string& Name);

} // namespace vardocle
