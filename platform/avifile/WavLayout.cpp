#include "platform/avifile/WavLayout.h"

#include <algorithm>
#include <cstring>

namespace vardocle {

namespace {

// Chunks before the sound are a few dozen bytes in any real file.
constexpr std::int64_t kMaxHeaderBytes = 1 << 20;
constexpr std::uint32_t kSizeInDs64 = 0xFFFFFFFF;
constexpr std::uint32_t kDs64Bytes = 28;
constexpr std::int64_t kMaxMovedBytes = 4096;

std::uint32_t Le32(const std::uint8_t* bytes) {
    return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) |
           (static_cast<std::uint32_t>(bytes[3]) << 24);
}

std::uint16_t Le16(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

std::int64_t Le64(const std::uint8_t* bytes) {
    return static_cast<std::int64_t>(Le32(bytes) |
                                     (static_cast<std::uint64_t>(Le32(bytes + 4)) << 32));
}

void PutLe32(std::uint8_t* bytes, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void PutLe64(std::uint8_t* bytes, std::int64_t value) {
    const auto bits = static_cast<std::uint64_t>(value);
    PutLe32(bytes, static_cast<std::uint32_t>(bits));
    PutLe32(bytes + 4, static_cast<std::uint32_t>(bits >> 32));
}

// A chunk's four-character name (without its terminating zero).
void PutTag(std::uint8_t* bytes, const char (&tag)[5]) {
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<std::uint8_t>(tag[i]);
}

} // namespace

bool TWavLayout::IsPcm() const {
    return FormatTag == 1 && Channels > 0 && SampleRate > 0 &&
           (BitsPerSample == 8 || BitsPerSample == 16 || BitsPerSample == 24 ||
            BitsPerSample == 32) &&
           BlockAlign == Channels * (BitsPerSample / 8);
}

bool ReadWavLayout(const TReadAt& ReadAt, std::int64_t FileSize, TWavLayout& Layout,
                   std::string& Problem) {
    Layout = TWavLayout{};
    std::uint8_t riff[12];
    if (!ReadAt(0, riff, sizeof riff) || std::memcmp(riff + 8, "WAVE", 4) != 0 ||
        (std::memcmp(riff, "RIFF", 4) != 0 && std::memcmp(riff, "RF64", 4) != 0)) {
        Problem = "it is not a WAV file";
        return false;
    }
    Layout.Rf64 = std::memcmp(riff, "RF64", 4) == 0;
    Layout.HeaderRiffBytes = Le32(riff + 4);
    std::int64_t dataBytes64 = -1;
    bool haveFormat = false;
    std::int64_t offset = 12;
    for (;;) {
        std::uint8_t chunk[8];
        if (offset > kMaxHeaderBytes || !ReadAt(offset, chunk, sizeof chunk)) {
            Problem = "it holds no sound data";
            return false;
        }
        const std::uint32_t size = Le32(chunk + 4);
        if (Layout.Rf64 && offset == 12) {
            // The 64-bit sizes come first, before anything they describe.
            std::uint8_t sizes[24];
            if (std::memcmp(chunk, "ds64", 4) != 0 || size < sizeof sizes ||
                !ReadAt(offset + 8, sizes, sizeof sizes)) {
                Problem = "its 64-bit sizes are missing";
                return false;
            }
            Layout.HeaderRiffBytes = Le64(sizes);
            dataBytes64 = Le64(sizes + 8);
        } else if (std::memcmp(chunk, "fmt ", 4) == 0) {
            std::uint8_t format[16];
            if (size < sizeof format || !ReadAt(offset + 8, format, sizeof format)) {
                Problem = "its format is broken";
                return false;
            }
            Layout.FormatTag = Le16(format);
            Layout.Channels = Le16(format + 2);
            Layout.SampleRate = Le32(format + 4);
            Layout.BytesPerSecond = Le32(format + 8);
            Layout.BlockAlign = Le16(format + 12);
            Layout.BitsPerSample = Le16(format + 14);
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            Layout.DataOffset = offset + 8;
            Layout.HeaderDataBytes =
                Layout.Rf64 && size == kSizeInDs64 && dataBytes64 >= 0 ? dataBytes64 : size;
            break;
        }
        offset += 8 + static_cast<std::int64_t>(size) + (size & 1);
    }
    if (!haveFormat) {
        Problem = "it has no format";
        return false;
    }
    // The first frames, moved behind the data when the file became RF64.
    // Compared before it is added: a declared size may be anything up to 2^63.
    if (Layout.Rf64 && Layout.HeaderDataBytes >= 0 &&
        Layout.HeaderDataBytes <= FileSize - 8 - Layout.DataOffset) {
        const std::int64_t dataEnd = Layout.DataOffset + Layout.HeaderDataBytes;
        const std::int64_t movedAt = dataEnd + (Layout.HeaderDataBytes & 1);
        std::uint8_t chunk[8];
        if (ReadAt(movedAt, chunk, sizeof chunk) && std::memcmp(chunk, "frst", 4) == 0) {
            const std::int64_t size = Le32(chunk + 4);
            if (size <= kMaxMovedBytes && movedAt + 8 + size <= FileSize) {
                Layout.MovedOffset = movedAt + 8;
                Layout.MovedBytes = size;
            }
        }
    }
    return true;
}

std::int64_t WavDataBytesPresent(const TWavLayout& Layout, std::int64_t FileSize) {
    const std::int64_t rest = std::max<std::int64_t>(0, FileSize - Layout.DataOffset);
    const std::int64_t declared = Layout.HeaderDataBytes;
    // A header left at 0 (or one claiming more than is there) means the data
    // runs to the end of the file.
    return (declared <= 0 || declared > rest) ? rest : declared;
}

bool ReadWavSound(const TReadAt& ReadAt, const TWavLayout& Layout, std::int64_t DataBytes,
                  std::int64_t Start, void* Buffer, std::size_t Count) {
    if (Start < 0 || Start + static_cast<std::int64_t>(Count) > Layout.MovedBytes + DataBytes)
        return false;
    auto* out = static_cast<std::uint8_t*>(Buffer);
    std::size_t done = 0;
    if (Start < Layout.MovedBytes) {
        const auto moved = static_cast<std::size_t>(
            std::min<std::int64_t>(Layout.MovedBytes - Start, static_cast<std::int64_t>(Count)));
        if (!ReadAt(Layout.MovedOffset + Start, out, moved))
            return false;
        done = moved;
    }
    if (done == Count)
        return true;
    const std::int64_t inData = Start + static_cast<std::int64_t>(done) - Layout.MovedBytes;
    return ReadAt(Layout.DataOffset + inData, out + done, Count - done);
}

std::array<std::uint8_t, kRf64HeaderBytes> MakeRf64Header(const std::uint8_t* Format,
                                                          std::int64_t DataBytes,
                                                          std::int64_t MovedChunkBytes,
                                                          std::uint16_t BlockAlign) {
    std::array<std::uint8_t, kRf64HeaderBytes> header{};
    std::uint8_t* at = header.data();
    PutTag(at, "RF64");
    PutLe32(at + 4, kSizeInDs64);
    PutTag(at + 8, "WAVE");
    PutTag(at + 12, "ds64");
    PutLe32(at + 16, kDs64Bytes);
    PutLe64(at + 20, kRf64HeaderBytes + DataBytes + (DataBytes & 1) + MovedChunkBytes - 8);
    PutLe64(at + 28, DataBytes);
    PutLe64(at + 36, BlockAlign > 0 ? DataBytes / BlockAlign : 0);
    PutLe32(at + 44, 0); // no table of other chunk sizes
    PutTag(at + 48, "fmt ");
    PutLe32(at + 52, 16);
    std::memcpy(at + 56, Format, 16);
    PutTag(at + 72, "data");
    PutLe32(at + 76, kSizeInDs64);
    return header;
}

} // namespace vardocle
