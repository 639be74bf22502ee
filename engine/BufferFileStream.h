#pragma once
// A file stream that collects appended bytes in a write buffer of a size
// chosen at creation, so that a steady trickle of small blocks (sound arriving
// every 100 ms) reaches the disk in a few large writes. The stream counts its
// logical size itself and lets its owner patch bytes already in the file (the
// size fields of a header) without disturbing that size.
#include "engine/WavOutput.h"
#include "platform/base/UniqueFd.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vardocle {

// Open modes. Create replaces an existing file; the others open an existing
// one (the share bits above 0x0F are accepted and ignored).
inline constexpr std::uint32_t fmCreate = 0xFFFF;
inline constexpr std::uint32_t fmOpenRead = 0x0000;
inline constexpr std::uint32_t fmOpenWrite = 0x0001;
inline constexpr std::uint32_t fmOpenReadWrite = 0x0002;

class TBufferFileStream : public IWavOutput {
public:
    // Raises EFCreateError ("Cannot create file ...") or EFOpenError
    // ("Cannot open file ...") carrying the full path and the system's text.
    TBufferFileStream(const std::string& StreamPath, std::uint32_t Mode, std::int32_t BufferSize);
    // Writes what is still buffered, then closes the file.
    ~TBufferFileStream() override;
    TBufferFileStream(const TBufferFileStream&) = delete;
    TBufferFileStream& operator=(const TBufferFileStream&) = delete;

    // Appends Count bytes; returns the number of bytes taken. Bytes that
    // cannot be written to the file are not counted (see FirstWriteError).
    std::int64_t Write(const void* Buffer, std::int64_t Count) override;
    // Passes the buffered bytes to the file: 1 when nothing was buffered,
    // else the number of bytes the file took (0 when the write failed).
    std::int64_t Flush() override;
    // Flush, then writes Count bytes at the file's current position without
    // counting them in Size (for patching bytes already appended).
    std::int64_t WriteDirect(const void* Buffer, std::int64_t Count) override;
    // Flush, then moves the file position; -1 (position unchanged) when the
    // flush failed or the move was refused.
    std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override;
    void SetPosition(std::int64_t Position) { Seek(Position, TSeekOrigin::soBeginning); }
    // Reads from the file at its position; buffered bytes are not seen.
    std::int64_t Read(void* Buffer, std::int64_t Count) override;
    // Changes the file's length (the logical size is not touched).
    bool SetSize(std::int64_t NewSize) override;

    // Every byte appended through Write that reached the file or waits in the
    // buffer. Once flushed it equals the file's length when the owner only
    // appended to a new file.
    std::int64_t Size() const override { return WrittenTotal + FBufferCount; }

    // errno of the first failed file write, 0 while every write succeeded.
    int FirstWriteError() const override { return FFirstWriteError; }
    void DropBuffered() override { FBufferCount = 0; }
    const std::string& StreamPath() const { return FStreamPath; }
    std::int32_t BufferSize() const { return FBufferSize; }
    std::int64_t BufferCount() const { return FBufferCount; }
    std::int64_t Written() const { return WrittenTotal; }

private:
    // Writes all Count bytes unless the file refuses; returns the bytes written.
    std::int64_t WriteToFile(const void* Buffer, std::int64_t Count);

    UniqueFd FHandle;
    std::string FStreamPath;
    std::vector<std::uint8_t> FBuffer;
    std::int32_t FBufferSize = 0;
    std::int64_t FBufferCount = 0;
    std::int64_t WrittenTotal = 0;
    int FFirstWriteError = 0;
};

} // namespace vardocle
