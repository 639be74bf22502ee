#include "app/FileReplace.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vardocle {

namespace {

bool WriteAll(int fd, const std::string& contents) {
    std::size_t done = 0;
    while (done < contents.size()) {
        const ssize_t written = ::write(fd, contents.data() + done, contents.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

// Writes and closes; the descriptor is gone either way.
bool WriteAndClose(int fd, const std::string& contents) {
    const bool written = WriteAll(fd, contents) && ::fsync(fd) == 0;
    return ::close(fd) == 0 && written;
}

} // namespace

bool ReplaceFileContents(const std::filesystem::path& file, const std::string& contents) {
    std::error_code error;
    std::filesystem::path target = file;
    if (std::filesystem::is_symlink(std::filesystem::symlink_status(target, error))) {
        target = std::filesystem::weakly_canonical(target, error);
        if (error)
            return false;
    }

    struct stat info {};
    if (::stat(target.c_str(), &info) != 0) {
        if (errno != ENOENT)
            return false;
        // Nothing to lose yet: create the file in place.
        const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        return fd >= 0 && WriteAndClose(fd, contents);
    }
    if (!S_ISREG(info.st_mode) || (info.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0)
        return false;

    std::string temporary = target.string() + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        // The folder takes no new files, but the file itself may be written.
        const int inPlace = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        return inPlace >= 0 && WriteAndClose(inPlace, contents);
    }
    bool ok = ::fchmod(fd, info.st_mode & 07777) == 0;
    ok = WriteAndClose(fd, contents) && ok;
    ok = ok && ::rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok)
        ::unlink(temporary.c_str());
    return ok;
}

} // namespace vardocle
