#include "platform/base/SafeReplace.h"

#include "platform/base/Errors.h"
#include "platform/base/UniqueFd.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace vardocle {

bool ReplaceFileSafely(const std::string& NewFile, const std::string& Target, std::string& Error) {
    const UniqueFd file(::open(NewFile.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file || ::fsync(file.Get()) != 0) {
        Error = CannotCreateFileMessage(NewFile, errno);
        return false;
    }
    // The new file keeps the old one's owner (one repaired by root stays
    // the user's), group and permissions; the owner first, as changing it
    // clears set-id bits.
    struct stat original {};
    if (::stat(Target.c_str(), &original) == 0) {
        if (::fchown(file.Get(), original.st_uid, original.st_gid) != 0)
            (void)::fchown(file.Get(), static_cast<uid_t>(-1), original.st_gid);
        ::fchmod(file.Get(), original.st_mode & 07777);
    }
    if (std::rename(NewFile.c_str(), Target.c_str()) != 0) {
        Error = CannotCreateFileMessage(Target, errno);
        return false;
    }
    // The rename itself reaches the disk with the folder.
    std::filesystem::path folder = std::filesystem::path(Target).parent_path();
    if (folder.empty())
        folder = ".";
    if (const UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)); dir)
        ::fsync(dir.Get());
    return true;
}

} // namespace vardocle
