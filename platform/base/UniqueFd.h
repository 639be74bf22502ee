#pragma once
// An owned POSIX file descriptor, closed when the owner goes.
#include <cstddef>
#include <sys/types.h>
#include <utility>

namespace vardocle {

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : FFd(fd) {}
    ~UniqueFd() { Reset(); }
    UniqueFd(UniqueFd&& other) noexcept : FFd(std::exchange(other.FFd, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            Reset();
            FFd = std::exchange(other.FFd, -1);
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int Get() const { return FFd; }
    explicit operator bool() const { return FFd >= 0; }
    void Reset();

    // Reads until `size` bytes came or the file ended; the count read, -1 on error.
    ssize_t ReadFull(void* buffer, std::size_t size) const;
    // Writes all bytes at `offset`; false on any error (errno tells which).
    bool WriteFullAt(const void* buffer, std::size_t size, off_t offset) const;

private:
    int FFd = -1;
};

} // namespace vardocle
