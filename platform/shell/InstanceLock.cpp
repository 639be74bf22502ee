#include "platform/shell/InstanceLock.h"

#include "platform/shell/RuntimeFolder.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace vardocle {

static std::string SafeFilePart(std::string text) {
    for (char& c : text) {
        if (c == '/' || c == ' ')
            c = '_';
    }
    return text;
}

TInstanceLock::TInstanceLock(const std::string& name, const std::string& display) {
    const auto file = RuntimeFile(SafeFilePart(name), display, "lock");
    // No private folder or no lock file possible: let this copy run rather
    // than refuse to start.
    if (!file)
        return;
    FFilePath = file->string();
    FDescriptor =
        UniqueFd(::open(FFilePath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!FDescriptor)
        return;
    if (::flock(FDescriptor.Get(), LOCK_EX | LOCK_NB) == 0)
        FHeld = true;
    else if (errno == EWOULDBLOCK)
        FAlreadyRunning = true;
}

TInstanceLock::~TInstanceLock() = default;

} // namespace vardocle
