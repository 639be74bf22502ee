#include "engine/BufferFileStream.h"

#include "platform/base/Errors.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace vardocle {

namespace {

int OpenFlags(std::uint32_t Mode) {
    switch (Mode & 0x0F) {
    case fmOpenWrite:
        return O_WRONLY;
    case fmOpenReadWrite:
        return O_RDWR;
    default:
        return O_RDONLY;
    }
}

bool ModeWrites(std::uint32_t Mode) {
    return (Mode & (fmOpenWrite | fmOpenReadWrite)) != 0;
}

} // namespace

TBufferFileStream::TBufferFileStream(const std::string& StreamPath, std::uint32_t Mode,
                                     std::int32_t BufferSize) {
    if (Mode == fmCreate) {
        FHandle =
            UniqueFd(::open(StreamPath.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
        if (!FHandle) {
            const int error = errno;
            throw EFCreateError(CannotCreateFileMessage(StreamPath, error), error);
        }
    } else {
        FHandle = UniqueFd(::open(StreamPath.c_str(), OpenFlags(Mode) | O_CLOEXEC));
        if (!FHandle)
            throw EFOpenError(CannotOpenFileMessage(StreamPath, errno));
    }
    if ((Mode == fmCreate || ModeWrites(Mode)) && BufferSize > 0)
        FBuffer.resize(static_cast<std::size_t>(BufferSize));
    FStreamPath = StreamPath;
    FBufferSize = BufferSize;
}

TBufferFileStream::~TBufferFileStream() {
    // The owner normally flushes first; bytes still waiting are not thrown away.
    if (FHandle)
        Flush();
}

std::int64_t TBufferFileStream::WriteToFile(const void* Buffer, std::int64_t Count) {
    const auto* bytes = static_cast<const std::uint8_t*>(Buffer);
    std::int64_t done = 0;
    while (done < Count) {
        const ssize_t n =
            ::write(FHandle.Get(), bytes + done, static_cast<std::size_t>(Count - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (FFirstWriteError == 0)
            FFirstWriteError = n < 0 ? errno : EIO;
        break;
    }
    return done;
}

std::int64_t TBufferFileStream::Flush() {
    if (FBufferCount <= 0)
        return 1;
    const std::int64_t written = WriteToFile(FBuffer.data(), FBufferCount);
    // Only what reached the file is counted, so Size keeps describing the file;
    // the rest of the buffer is dropped.
    WrittenTotal += written;
    FBufferCount = 0;
    return written;
}

std::int64_t TBufferFileStream::Write(const void* Buffer, std::int64_t Count) {
    if (Count <= 0)
        return 0;
    if (Count >= FBufferSize || FBuffer.empty()) {
        Flush();
        const std::int64_t written = WriteToFile(Buffer, Count);
        WrittenTotal += written;
        return written;
    }
    if (FBufferCount + Count > FBufferSize)
        Flush();
    std::memcpy(FBuffer.data() + FBufferCount, Buffer, static_cast<std::size_t>(Count));
    FBufferCount += Count;
    return Count;
}

std::int64_t TBufferFileStream::WriteDirect(const void* Buffer, std::int64_t Count) {
    Flush();
    if (Count <= 0)
        return 0;
    return WriteToFile(Buffer, Count);
}

std::int64_t TBufferFileStream::Seek(std::int64_t Offset, TSeekOrigin Origin) {
    if (Flush() == 0)
        return -1;
    int whence = SEEK_SET;
    if (Origin == TSeekOrigin::soCurrent)
        whence = SEEK_CUR;
    else if (Origin == TSeekOrigin::soEnd)
        whence = SEEK_END;
    const off_t position = ::lseek(FHandle.Get(), static_cast<off_t>(Offset), whence);
    return position < 0 ? -1 : static_cast<std::int64_t>(position);
}

std::int64_t TBufferFileStream::Read(void* Buffer, std::int64_t Count) {
    auto* bytes = static_cast<std::uint8_t*>(Buffer);
    std::int64_t done = 0;
    while (done < Count) {
        const ssize_t n =
            ::read(FHandle.Get(), bytes + done, static_cast<std::size_t>(Count - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break;
    }
    return done;
}

bool TBufferFileStream::SetSize(std::int64_t NewSize) {
    Flush();
    return ::ftruncate(FHandle.Get(), static_cast<off_t>(NewSize)) == 0;
}

} // namespace vardocle
