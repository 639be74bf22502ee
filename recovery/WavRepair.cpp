#include "recovery/WavRepair.h"

#include "platform/base/Errors.h"
#include "platform/base/UniqueFd.h"
#include "recovery/ByteSource.h"
#include "recovery/SafeReplace.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace vardocle {

namespace {

constexpr std::uint32_t kMaxHeaderBytes = 1 << 20; // chunks before the sound

std::uint32_t Le32(const std::uint8_t* bytes) {
    return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) |
           (static_cast<std::uint32_t>(bytes[3]) << 24);
}

std::uint16_t Le16(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

void PutLe32(std::uint8_t* bytes, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// Copies Bytes from Offset in one file to the same place in the other: in the
// kernel where the file system can, through a buffer where it cannot.
bool CopySound(const UniqueFd& in, const UniqueFd& out, std::int64_t offset, std::int64_t bytes) {
    loff_t from = offset;
    loff_t to = offset;
    std::int64_t left = bytes;
    while (left > 0) {
        errno = 0;
        const auto piece = static_cast<std::size_t>(std::min<std::int64_t>(left, 1 << 30));
        const ssize_t copied = ::copy_file_range(in.Get(), &from, out.Get(), &to, piece, 0);
        if (copied < 0 && errno == EINTR)
            continue;
        if (copied < 0 &&
            (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP))
            break;
        if (copied <= 0)
            return false;
        left -= copied;
    }
    std::vector<char> buffer(1 << 20);
    while (left > 0) {
        const auto piece = static_cast<std::size_t>(
            std::min<std::int64_t>(left, static_cast<std::int64_t>(buffer.size())));
        const ssize_t got = ::pread(in.Get(), buffer.data(), piece, from);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0 || !out.WriteFullAt(buffer.data(), static_cast<std::size_t>(got), to))
            return false;
        from += got;
        to += got;
        left -= got;
    }
    return true;
}

} // namespace

TWavInspection InspectWav(const std::string& Path) {
    TWavInspection wav;
    const TFileBytes file(Path);
    if (!file.Opened()) {
        wav.Problem = SystemErrorText(file.Error());
        return wav;
    }
    if (file.Size() <= 44) {
        std::uint8_t head[4] = {};
        const auto prefix = static_cast<std::size_t>(std::min<std::int64_t>(file.Size(), 4));
        if (file.ReadAt(0, head, prefix) && std::memcmp(head, "RIFF", prefix) == 0) {
            wav.NoSound = true;
            wav.Problem = "it holds no sound";
            return wav;
        }
    }
    std::uint8_t riff[12];
    if (!file.ReadAt(0, riff, sizeof riff) || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0) {
        wav.Problem = "it is not a WAV file";
        return wav;
    }
    bool haveFormat = false;
    std::int64_t offset = 12;
    for (;;) {
        std::uint8_t chunk[8];
        if (offset > kMaxHeaderBytes || !file.ReadAt(offset, chunk, sizeof chunk)) {
            wav.Problem = "it holds no sound data";
            return wav;
        }
        const std::uint32_t size = Le32(chunk + 4);
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            std::uint8_t format[16];
            if (size < 16 || !file.ReadAt(offset + 8, format, sizeof format)) {
                wav.Problem = "its format is broken";
                return wav;
            }
            haveFormat = Le16(format) == 1;
            wav.Channels = Le16(format + 2);
            wav.SampleRate = Le32(format + 4);
            wav.BlockAlign = Le16(format + 12);
            wav.BitsPerSample = Le16(format + 14);
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            wav.DataOffset = offset + 8;
            wav.HeaderDataSize = size;
            break;
        }
        offset += 8 + static_cast<std::int64_t>(size) + (size & 1);
    }
    if (!haveFormat || wav.Channels == 0 || wav.SampleRate == 0 || wav.BlockAlign == 0 ||
        wav.BlockAlign != wav.Channels * wav.BitsPerSample / 8) {
        wav.Problem = "it holds no PCM sound";
        return wav;
    }
    const std::int64_t present = file.Size() - wav.DataOffset;
    wav.DataBytes = present / wav.BlockAlign * wav.BlockAlign;
    wav.CutBytes = present - wav.DataBytes;
    std::uint32_t riffSize = Le32(riff + 4);
    wav.HeaderComplete = wav.CutBytes == 0 && wav.HeaderDataSize == wav.DataBytes &&
                         static_cast<std::int64_t>(riffSize) == file.Size() - 8;
    wav.Readable = true;
    return wav;
}

bool RepairWav(const std::string& Path, const TWavInspection& Inspection, std::string& Error,
               std::int64_t SilenceFrames) {
    if (!Inspection.Readable) {
        Error = Inspection.Problem;
        return false;
    }
    if (Inspection.HeaderComplete && SilenceFrames <= 0)
        return true;
    const std::int64_t silenceBytes =
        std::max<std::int64_t>(0, SilenceFrames) * Inspection.BlockAlign;
    const std::int64_t dataBytes = Inspection.DataBytes + silenceBytes;
    const std::int64_t riffSize = Inspection.DataOffset - 8 + dataBytes;
    if (riffSize > 0xFFFFFFFFLL) {
        Error = "it holds more sound than a WAV header can describe";
        return false;
    }
    const UniqueFd in(::open(Path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!in) {
        Error = CannotOpenFileMessage(Path, errno);
        return false;
    }
    // The header with its chunks before the sound, then the sound as it is.
    std::vector<std::uint8_t> header(static_cast<std::size_t>(Inspection.DataOffset));
    if (in.ReadFull(header.data(), header.size()) != static_cast<ssize_t>(header.size())) {
        Error = CannotOpenFileMessage(Path, errno != 0 ? errno : EIO);
        return false;
    }
    PutLe32(header.data() + 4, static_cast<std::uint32_t>(riffSize));
    PutLe32(header.data() + header.size() - 4, static_cast<std::uint32_t>(dataBytes));

    TSafeReplace replace(Path, ".repairing");
    const UniqueFd out(
        ::open(replace.NewFile().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!out) {
        Error = CannotCreateFileMessage(replace.NewFile(), errno);
        return false;
    }
    auto writeFailed = [&] {
        Error = "Cannot write file \"" + replace.NewFile() + "\". " +
                SystemErrorText(errno != 0 ? errno : ENOSPC);
        return false;
    };
    if (!out.WriteFullAt(header.data(), header.size(), 0))
        return writeFailed();
    if (!CopySound(in, out, Inspection.DataOffset, Inspection.DataBytes))
        return writeFailed();
    // Unsigned 8-bit sound is silent at its middle value, the others at 0.
    const std::vector<char> silence(1 << 16, Inspection.BitsPerSample == 8 ? '\x80' : '\0');
    for (std::int64_t at = 0; at < silenceBytes; at += static_cast<std::int64_t>(silence.size())) {
        const auto piece = static_cast<std::size_t>(
            std::min<std::int64_t>(silenceBytes - at, static_cast<std::int64_t>(silence.size())));
        if (!out.WriteFullAt(silence.data(), piece,
                             Inspection.DataOffset + Inspection.DataBytes + at))
            return writeFailed();
    }
    return replace.Commit(Error);
}

} // namespace vardocle
