#pragma once
// Where the chunk scanner reads its bytes: a file being repaired, or a buffer
// (the tests and the fuzzer). Reads are by offset, so a scan never depends on
// a read position that an earlier, failed read might have left behind.
#include "platform/base/UniqueFd.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace vardocle {

class IByteSource {
public:
    virtual ~IByteSource() = default;
    virtual std::int64_t Size() const = 0;
    // Exactly `size` bytes at `offset`, or false (past the end, a read error).
    virtual bool ReadAt(std::int64_t offset, void* buffer, std::size_t size) const = 0;
};

class TMemoryBytes : public IByteSource {
public:
    explicit TMemoryBytes(std::span<const std::uint8_t> bytes) : FBytes(bytes) {}
    std::int64_t Size() const override { return static_cast<std::int64_t>(FBytes.size()); }
    bool ReadAt(std::int64_t offset, void* buffer, std::size_t size) const override;

private:
    std::span<const std::uint8_t> FBytes;
};

class TFileBytes : public IByteSource {
public:
    // Opens for reading; check Opened(), and Error() for the reason.
    explicit TFileBytes(const std::string& path);
    bool Opened() const { return static_cast<bool>(FFd); }
    int Error() const { return FError; }
    std::int64_t Size() const override { return FSize; }
    bool ReadAt(std::int64_t offset, void* buffer, std::size_t size) const override;

private:
    UniqueFd FFd;
    std::int64_t FSize = 0;
    int FError = 0;
};

} // namespace vardocle
