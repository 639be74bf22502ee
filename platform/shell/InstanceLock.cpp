#include "platform/shell/InstanceLock.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <unistd.h>

namespace vardocle {

std::string TInstanceLock::RuntimeFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime && std::filesystem::is_directory(runtime))
        return runtime;
    return std::filesystem::temp_directory_path().string();
}

static std::string SafeFilePart(std::string text) {
    for (char& c : text) {
        if (c == '/' || c == ' ')
            c = '_';
    }
    return text;
}

TInstanceLock::TInstanceLock(const std::string& name, const std::string& display) {
    FFilePath = RuntimeFolder() + "/vardocle-" + SafeFilePart(name) + "-" +
                SafeFilePart(display.empty() ? std::string("nodisplay") : display) + ".lock";
    FDescriptor = UniqueFd(::open(FFilePath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (!FDescriptor)
        return; // no lock file possible: let this copy run rather than refuse to start
    if (::flock(FDescriptor.Get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)
        FAlreadyRunning = true;
}

TInstanceLock::~TInstanceLock() = default;

} // namespace vardocle
