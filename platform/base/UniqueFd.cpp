#include "platform/base/UniqueFd.h"

#include <cerrno>
#include <unistd.h>

namespace vardocle {

void UniqueFd::Reset() {
    if (FFd >= 0)
        ::close(FFd);
    FFd = -1;
}

ssize_t UniqueFd::ReadFull(void* buffer, std::size_t size) const {
    auto* bytes = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(FFd, bytes + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

bool UniqueFd::WriteFullAt(const void* buffer, std::size_t size, off_t offset) const {
    const auto* bytes = static_cast<const char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n =
            ::pwrite(FFd, bytes + done, size - done, offset + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace vardocle
