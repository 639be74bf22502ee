#include "platform/avifile/ReservedOutput.h"

#include "platform/base/Errors.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

namespace vardocle {

namespace {

constexpr int kBufferBytes = 64 * 1024;
// Room is taken in steps, so that the file system is asked once a megabyte.
constexpr std::int64_t kReserveStep = 1 << 20;

bool CannotAllocateAhead(int error) {
    // Devices and pipes have no blocks to keep either.
    return error == EOPNOTSUPP || error == ENOSYS || error == EINVAL || error == ENODEV ||
           error == ESPIPE;
}

} // namespace

std::unique_ptr<TReservedOutput> TReservedOutput::Create(const std::string& Path,
                                                         std::string& Error, int& ErrorNumber) {
    auto output = std::make_unique<TReservedOutput>();
    output->FFd = UniqueFd(::open(Path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!output->FFd) {
        ErrorNumber = errno;
        Error = CannotCreateFileMessage(Path, ErrorNumber);
        return nullptr;
    }
    auto* buffer = static_cast<std::uint8_t*>(av_malloc(kBufferBytes));
    output->FContext =
        buffer ? avio_alloc_context(buffer, kBufferBytes, 1, output.get(), nullptr,
                                    &TReservedOutput::WritePacket, &TReservedOutput::Seek)
               : nullptr;
    if (!output->FContext) {
        av_free(buffer);
        ErrorNumber = ENOMEM;
        Error = "Out of memory";
        return nullptr;
    }
    return output;
}

TReservedOutput::~TReservedOutput() {
    if (FContext) {
        avio_flush(FContext);
        av_freep(&FContext->buffer);
        avio_context_free(&FContext);
    }
    ReleaseReserve();
}

int TReservedOutput::WritePacket(void* Opaque, std::uint8_t* Buffer, int Size) {
    auto* self = static_cast<TReservedOutput*>(Opaque);
    if (!self->FFd.WriteFullAt(Buffer, static_cast<std::size_t>(Size), self->FPosition)) {
        self->FErrorNumber = errno != 0 ? errno : EIO;
        return AVERROR(self->FErrorNumber);
    }
    self->FPosition += Size;
    self->FEnd = std::max(self->FEnd, self->FPosition);
    return Size;
}

std::int64_t TReservedOutput::Seek(void* Opaque, std::int64_t Offset, int Whence) {
    auto* self = static_cast<TReservedOutput*>(Opaque);
    switch (Whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE:
        return self->FEnd;
    case SEEK_SET:
        break;
    case SEEK_CUR:
        Offset += self->FPosition;
        break;
    case SEEK_END:
        Offset += self->FEnd;
        break;
    default:
        return AVERROR(EINVAL);
    }
    if (Offset < 0)
        return AVERROR(EINVAL);
    self->FPosition = Offset;
    return Offset;
}

bool TReservedOutput::Reserve(std::int64_t AppendBytes, std::int64_t EndingBytes) {
    if (!FCanReserve)
        return true;
    // Bytes still in the context's buffer are part of the end.
    const std::int64_t end = std::max(FEnd, FContext ? avio_tell(FContext) : FEnd);
    const std::int64_t needed = end + AppendBytes + EndingBytes;
    if (needed <= FReservedEnd)
        return true;
    for (const std::int64_t target : {needed + kReserveStep, needed}) {
        if (::fallocate(FFd.Get(), FALLOC_FL_KEEP_SIZE, end, target - end) == 0) {
            FReservedEnd = target;
            return true;
        }
        if (CannotAllocateAhead(errno)) {
            FCanReserve = false;
            return true;
        }
    }
    FErrorNumber = errno;
    return false;
}

void TReservedOutput::ReleaseReserve() {
    if (FFd && FReservedEnd > FEnd) {
        if (::ftruncate(FFd.Get(), static_cast<off_t>(FEnd)) == 0)
            FReservedEnd = FEnd;
    }
}

} // namespace vardocle
