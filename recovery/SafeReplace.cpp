#include "recovery/SafeReplace.h"

#include "platform/base/Errors.h"
#include "platform/base/UniqueFd.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace vardocle {

TSafeReplace::TSafeReplace(std::string Target, const std::string& Suffix)
    : FTarget(std::move(Target)), FNewFile(FTarget + Suffix) {}

TSafeReplace::~TSafeReplace() {
    if (!FCommitted)
        std::remove(FNewFile.c_str());
}

bool TSafeReplace::Commit(std::string& Error) {
    const UniqueFd file(::open(FNewFile.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file || ::fsync(file.Get()) != 0) {
        Error = CannotCreateFileMessage(FNewFile, errno);
        return false;
    }
    struct stat original {};
    if (::stat(FTarget.c_str(), &original) == 0)
        ::fchmod(file.Get(), original.st_mode & 07777);
    if (std::rename(FNewFile.c_str(), FTarget.c_str()) != 0) {
        Error = CannotCreateFileMessage(FTarget, errno);
        return false;
    }
    FCommitted = true;
    // The rename itself reaches the disk with the folder.
    std::filesystem::path folder = std::filesystem::path(FTarget).parent_path();
    if (folder.empty())
        folder = ".";
    if (const UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)); dir)
        ::fsync(dir.Get());
    return true;
}

} // namespace vardocle
