#include "recovery/ByteSource.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vardocle {

bool TMemoryBytes::ReadAt(std::int64_t offset, void* buffer, std::size_t size) const {
    if (offset < 0 || offset > Size() || static_cast<std::int64_t>(size) > Size() - offset)
        return false;
    if (size > 0)
        std::memcpy(buffer, FBytes.data() + offset, size);
    return true;
}

// Without O_NONBLOCK, opening a named pipe waits for a writer that may never come.
TFileBytes::TFileBytes(const std::string& path)
    : FFd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)) {
    struct stat info {};
    if (!FFd) {
        FError = errno;
    } else if (::fstat(FFd.Get(), &info) != 0) {
        FError = errno;
        FFd.Reset();
    } else if (!S_ISREG(info.st_mode)) {
        // A folder, a pipe or a device is nothing a recording could be.
        FError = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        FFd.Reset();
    } else {
        FSize = info.st_size;
    }
}

bool TFileBytes::ReadAt(std::int64_t offset, void* buffer, std::size_t size) const {
    if (offset < 0 || offset > FSize || static_cast<std::int64_t>(size) > FSize - offset)
        return false;
    auto* out = static_cast<char*>(buffer);
    while (size > 0) {
        const ssize_t got = ::pread(FFd.Get(), out, size, offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        out += got;
        offset += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

} // namespace vardocle
