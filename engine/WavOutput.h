#pragma once
// Where the sound recorder writes its file: a buffered file stream, or in
// the tests a stream that only counts what it is given, so that a file of
// many gigabytes can be written without the disk.
#include <cstdint>

namespace vardocle {

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class IWavOutput {
public:
    virtual ~IWavOutput() = default;
    // Appends; returns the bytes taken. A failure shows in FirstWriteError.
    virtual std::int64_t Write(const void* Buffer, std::int64_t Count) = 0;
    // Hands what is buffered to the file; 0 when that failed.
    virtual std::int64_t Flush() = 0;
    // Drops what is buffered without writing it.
    virtual void DropBuffered() = 0;
    // Flush, then writes at the current position without counting in Size.
    virtual std::int64_t WriteDirect(const void* Buffer, std::int64_t Count) = 0;
    // Flush, then moves the position; -1 when either failed.
    virtual std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) = 0;
    // Reads at the current position (buffered bytes are not seen).
    virtual std::int64_t Read(void* Buffer, std::int64_t Count) = 0;
    virtual bool SetSize(std::int64_t NewSize) = 0;
    // Every byte appended through Write that reached the file or waits.
    virtual std::int64_t Size() const = 0;
    // errno of the first failed write, 0 while all succeeded.
    virtual int FirstWriteError() const = 0;
};

} // namespace vardocle
