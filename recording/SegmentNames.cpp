#include "recording/SegmentNames.h"

#include "platform/base/Paths.h"

#include <cstdio>
#include <filesystem>

namespace vardocle {

namespace {

std::string WithCounter(const std::string& FirstName, int Counter) {
    const std::filesystem::path path(FirstName);
    char counter[16];
    std::snprintf(counter, sizeof counter, "-%03d", Counter);
    std::filesystem::path name = path.parent_path() / path.stem();
    name += counter;
    name += path.extension();
    return name.string();
}

} // namespace

std::string NextSegmentFileName(const std::string& FirstName, int& Counter,
                                const TNameTaken& Taken) {
    // Never over an existing file: the counter skips names in use.
    ++Counter;
    while (Taken(WithCounter(FirstName, Counter)))
        ++Counter;
    return WithCounter(FirstName, Counter);
}

bool SegmentNameTaken(const std::string& Name) {
    std::error_code ignored;
    return std::filesystem::exists(Name, ignored) ||
           std::filesystem::exists(ChangeFileExt(Name, ".Wav"), ignored);
}

} // namespace vardocle
