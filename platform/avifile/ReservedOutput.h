#pragma once
// The output of a file being recorded, which keeps room on the disk for its
// own ending. The index and the header counts that complete an AVI file are
// written last; on a disk that filled up meanwhile there would be no room for
// them, and the whole recording would be unplayable. So the file keeps blocks
// allocated past its end (without growing its length) for everything its
// ending will need, and a packet that cannot keep that room is refused
// before it is written: the recording stops there with a file that can
// still be completed. Where the file system cannot allocate ahead, writes go
// on unguarded.
#include "platform/base/UniqueFd.h"

#include <cstdint>
#include <memory>
#include <string>

struct AVIOContext;

namespace vardocle {

class TReservedOutput {
public:
    // Creates (or replaces) the file; null with the reason and the errno.
    static std::unique_ptr<TReservedOutput> Create(const std::string& Path, std::string& Error,
                                                   int& ErrorNumber);
    TReservedOutput() = default;
    ~TReservedOutput();
    TReservedOutput(const TReservedOutput&) = delete;
    TReservedOutput& operator=(const TReservedOutput&) = delete;

    // The context libavformat writes through.
    AVIOContext* Context() const { return FContext; }
    // Makes sure that AppendBytes can be written at the end with EndingBytes
    // still free after them. False (the errno in ErrorNumber) when the disk
    // has no room for that; nothing is written then.
    bool Reserve(std::int64_t AppendBytes, std::int64_t EndingBytes);
    // Gives the room not used back: the file ends where its bytes do.
    void ReleaseReserve();
    int ErrorNumber() const { return FErrorNumber; }
    // False where the file system cannot allocate ahead.
    bool Guarded() const { return FCanReserve; }

private:
    static int WritePacket(void* Opaque, std::uint8_t* Buffer, int Size);
    static std::int64_t Seek(void* Opaque, std::int64_t Offset, int Whence);

    UniqueFd FFd;
    AVIOContext* FContext = nullptr;
    std::int64_t FPosition = 0;
    std::int64_t FEnd = 0;         // the file's length as written
    std::int64_t FReservedEnd = 0; // blocks are allocated up to here
    bool FCanReserve = true;
    int FErrorNumber = 0;
};

} // namespace vardocle
