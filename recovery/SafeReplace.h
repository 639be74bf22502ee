#pragma once
// A repaired file is written beside the original under a name of its own and
// takes the original's place in one rename, only once it is complete and on
// the disk; a repair that fails or is cut off leaves the original as it was
// and its own half-written file is removed.
#include <string>

namespace vardocle {

class TSafeReplace {
public:
    // Target is the file to be replaced; the new one is Target + Suffix.
    TSafeReplace(std::string Target, const std::string& Suffix);
    ~TSafeReplace();
    TSafeReplace(const TSafeReplace&) = delete;
    TSafeReplace& operator=(const TSafeReplace&) = delete;

    const std::string& NewFile() const { return FNewFile; }
    // Flushes the new file to the disk, gives it the original's permissions
    // and renames it over the original. False with the reason (English).
    bool Commit(std::string& Error);

private:
    std::string FTarget;
    std::string FNewFile;
    bool FCommitted = false;
};

} // namespace vardocle
