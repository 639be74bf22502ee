#include "tests/support/SmallDisk.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace vardocle::test {

TSmallDisk::TSmallDisk(int megabytes) {
    const std::string options = "size=" + std::to_string(megabytes) + "m,mode=0777";
    if (::mount("tmpfs", FFolder.Path().c_str(), "tmpfs", 0, options.c_str()) != 0) {
        FProblem = std::strerror(errno);
        return;
    }
    FMounted = true;
}

TSmallDisk::~TSmallDisk() {
    if (FMounted && ::umount2(FFolder.Path().c_str(), 0) != 0)
        ::umount2(FFolder.Path().c_str(), MNT_DETACH); // a file still open in it
}

void TSmallDisk::FillLeaving(std::uintmax_t bytes) {
    struct statvfs disk {};
    if (::statvfs(FFolder.Path().c_str(), &disk) != 0)
        return;
    const std::uintmax_t free = static_cast<std::uintmax_t>(disk.f_bavail) * disk.f_frsize;
    if (free <= bytes)
        return;
    const int fd = ::open((FFolder / "filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return;
    // Allocated in full, not a sparse file.
    ::posix_fallocate(fd, 0, static_cast<off_t>(free - bytes));
    ::close(fd);
}

bool TSmallDisk::MakeReadOnly() {
    return FMounted &&
           ::mount("tmpfs", FFolder.Path().c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
}

TChangingScreen::TChangingScreen() {
    FProcess.start("sh", {"-c", "i=0; while [ $i -lt 3000 ]; do i=$((i + 1)); "
                                "xsetroot -solid \"#$(printf '%02x%02x%02x' $((i * 7 % 256)) "
                                "$((i * 13 % 256)) $((i * 29 % 256)))\"; sleep 0.1; done"});
    FProcess.waitForStarted();
}

TChangingScreen::~TChangingScreen() {
    FProcess.kill();
    FProcess.waitForFinished();
}

} // namespace vardocle::test
