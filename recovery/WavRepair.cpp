#include "recovery/WavRepair.h"

#include "platform/avifile/WavLayout.h"
#include "platform/base/Errors.h"
#include "platform/base/UniqueFd.h"
#include "recovery/ByteSource.h"
#include "recovery/SafeReplace.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace vardocle {

namespace {

// Copies Bytes from one offset of a file to another of a second file: in the
// kernel where the file system can, through a buffer where it cannot.
bool CopyBytes(const UniqueFd& in, std::int64_t from, const UniqueFd& out, std::int64_t to,
               std::int64_t bytes) {
    loff_t source = from;
    loff_t target = to;
    std::int64_t left = bytes;
    while (left > 0) {
        errno = 0;
        const auto piece = static_cast<std::size_t>(std::min<std::int64_t>(left, 1 << 30));
        const ssize_t copied = ::copy_file_range(in.Get(), &source, out.Get(), &target, piece, 0);
        if (copied < 0 && errno == EINTR)
            continue;
        if (copied < 0 &&
            (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP))
            break;
        if (copied <= 0)
            return false;
        left -= copied;
    }
    std::vector<char> buffer(static_cast<std::size_t>(std::min<std::int64_t>(left, 1 << 20)));
    while (left > 0) {
        const auto piece = static_cast<std::size_t>(
            std::min<std::int64_t>(left, static_cast<std::int64_t>(buffer.size())));
        const ssize_t got = ::pread(in.Get(), buffer.data(), piece, source);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0 || !out.WriteFullAt(buffer.data(), static_cast<std::size_t>(got), target))
            return false;
        source += got;
        target += got;
        left -= got;
    }
    return true;
}

void PutLe32(std::uint8_t* bytes, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void PutLe16(std::uint8_t* bytes, std::uint16_t value) {
    bytes[0] = static_cast<std::uint8_t>(value);
    bytes[1] = static_cast<std::uint8_t>(value >> 8);
}

// The 16 bytes of the format chunk.
std::array<std::uint8_t, 16> FormatBytes(const TWavInspection& wav) {
    std::array<std::uint8_t, 16> format{};
    PutLe16(&format[0], 1);
    PutLe16(&format[2], wav.Channels);
    PutLe32(&format[4], wav.SampleRate);
    PutLe32(&format[8], wav.SampleRate * wav.BlockAlign);
    PutLe16(&format[12], wav.BlockAlign);
    PutLe16(&format[14], wav.BitsPerSample);
    return format;
}

// The header of the repaired file: the plain 44 bytes while the sizes fit.
std::vector<std::uint8_t> RepairedHeader(const TWavInspection& wav, std::int64_t dataBytes) {
    const auto format = FormatBytes(wav);
    if (kRiffHeaderBytes + dataBytes <= kRiffFileSizeLimit) {
        std::vector<std::uint8_t> header(kRiffHeaderBytes);
        std::memcpy(&header[0], "RIFF", 4);
        PutLe32(&header[4], static_cast<std::uint32_t>(kRiffHeaderBytes - 8 + dataBytes));
        std::memcpy(&header[8], "WAVEfmt ", 8);
        PutLe32(&header[16], 16);
        std::memcpy(&header[20], format.data(), format.size());
        std::memcpy(&header[36], "data", 4);
        PutLe32(&header[40], static_cast<std::uint32_t>(dataBytes));
        return header;
    }
    const auto header = MakeRf64Header(format.data(), dataBytes, 0, wav.BlockAlign);
    return {header.begin(), header.end()};
}

} // namespace

TWavInspection InspectWav(const std::string& Path) {
    TWavInspection wav;
    const TFileBytes file(Path);
    if (!file.Opened()) {
        wav.Problem = SystemErrorText(file.Error());
        return wav;
    }
    if (file.Size() <= kRiffHeaderBytes) {
        std::uint8_t head[4] = {};
        const auto prefix = static_cast<std::size_t>(std::min<std::int64_t>(file.Size(), 4));
        if (file.ReadAt(0, head, prefix) && std::memcmp(head, "RIFF", prefix) == 0) {
            wav.NoSound = true;
            wav.Problem = "it holds no sound";
            return wav;
        }
    }
    TWavLayout layout;
    const TReadAt readAt = [&file](std::int64_t offset, void* buffer, std::size_t size) {
        return file.ReadAt(offset, buffer, size);
    };
    if (!ReadWavLayout(readAt, file.Size(), layout, wav.Problem))
        return wav;
    if (!layout.IsPcm()) {
        wav.Problem = "it holds no PCM sound";
        return wav;
    }
    wav.Channels = layout.Channels;
    wav.SampleRate = layout.SampleRate;
    wav.BlockAlign = layout.BlockAlign;
    wav.BitsPerSample = layout.BitsPerSample;
    wav.DataOffset = layout.DataOffset;
    wav.HeaderDataSize = layout.HeaderDataBytes;
    wav.MovedOffset = layout.MovedOffset;
    wav.MovedBytes = layout.MovedBytes;
    // The moved frames' chunk lies behind the data; it is no part of it.
    const std::int64_t movedChunk = layout.MovedOffset >= 0 ? 8 + layout.MovedBytes : 0;
    const std::int64_t present = file.Size() - wav.DataOffset - movedChunk;
    const std::int64_t whole = present / wav.BlockAlign * wav.BlockAlign;
    wav.CutBytes = present - whole;
    wav.DataBytes = whole + wav.MovedBytes;
    wav.HeaderComplete = wav.CutBytes == 0 && wav.HeaderDataSize == whole &&
                         layout.HeaderRiffBytes == file.Size() - 8;
    wav.Readable = true;
    return wav;
}

bool WriteRepairedWav(const std::string& Path, const TWavInspection& Inspection,
                      const std::string& OutputPath, std::string& Error,
                      std::int64_t SilenceFrames) {
    if (!Inspection.Readable) {
        Error = Inspection.Problem;
        return false;
    }
    const std::int64_t silenceBytes =
        std::max<std::int64_t>(0, SilenceFrames) * Inspection.BlockAlign;
    const std::int64_t dataBytes = Inspection.DataBytes + silenceBytes;
    const UniqueFd in(::open(Path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!in) {
        Error = CannotOpenFileMessage(Path, errno);
        return false;
    }
    const std::vector<std::uint8_t> header = RepairedHeader(Inspection, dataBytes);
    const auto soundAt = static_cast<std::int64_t>(header.size());
    const UniqueFd out(::open(OutputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!out) {
        Error = CannotCreateFileMessage(OutputPath, errno);
        return false;
    }
    auto writeFailed = [&] {
        Error = "Cannot write file \"" + OutputPath + "\". " +
                SystemErrorText(errno != 0 ? errno : ENOSPC);
        return false;
    };
    if (!out.WriteFullAt(header.data(), header.size(), 0))
        return writeFailed();
    // The sound in its order: frames an RF64 file kept behind its data first.
    const std::int64_t moved = Inspection.MovedOffset >= 0 ? Inspection.MovedBytes : 0;
    if (moved > 0 && !CopyBytes(in, Inspection.MovedOffset, out, soundAt, moved))
        return writeFailed();
    if (!CopyBytes(in, Inspection.DataOffset, out, soundAt + moved, Inspection.DataBytes - moved))
        return writeFailed();
    // Unsigned 8-bit sound is silent at its middle value, the others at 0.
    const std::vector<char> silence(1 << 16, Inspection.BitsPerSample == 8 ? '\x80' : '\0');
    for (std::int64_t at = 0; at < silenceBytes; at += static_cast<std::int64_t>(silence.size())) {
        const auto piece = static_cast<std::size_t>(
            std::min<std::int64_t>(silenceBytes - at, static_cast<std::int64_t>(silence.size())));
        if (!out.WriteFullAt(silence.data(), piece, soundAt + Inspection.DataBytes + at))
            return writeFailed();
    }
    return true;
}

bool RepairWav(const std::string& Path, const TWavInspection& Inspection, std::string& Error,
               std::int64_t SilenceFrames) {
    if (Inspection.Readable && Inspection.HeaderComplete && SilenceFrames <= 0)
        return true;
    TSafeReplace replace(Path, ".repairing");
    return WriteRepairedWav(Path, Inspection, replace.NewFile(), Error, SilenceFrames) &&
           replace.Commit(Error);
}

} // namespace vardocle
