#pragma once
// The files around a repair: what the name given leads to, what kind of file
// it is, and the leftovers of earlier repairs and merges.
#include <string>
#include <vector>

namespace vardocle {

// Empty for a regular file or a name that leads to nothing; otherwise what the
// file is ("a named pipe", ...), in English, and in Chinese in `Chinese`.
// Looks at the file's kind only: a pipe is never opened.
std::string NotARegularFile(const std::string& Path, std::string& Chinese);

// The file a name leads to through symbolic links (the name itself when it
// is no link or its target cannot be resolved): a repair replaces that file
// and leaves the link as it was.
std::string LinkTarget(const std::string& Path);

// Removes the files that exist among Paths; the ones removed are returned.
std::vector<std::string> RemoveExisting(const std::vector<std::string>& Paths);

} // namespace vardocle
