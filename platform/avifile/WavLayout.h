#pragma once
// Where the parts of a PCM WAV file lie: its format, where its sound begins
// and how much the header says there is. Reads both the plain RIFF layout,
// whose sizes are 32-bit, and the 64-bit RF64 layout that a recording's sound
// file takes on when it outgrows 4 GiB. The bytes are untrusted: every size is
// checked against the file's length before it is used.
//
// A recording's sound file switches to RF64 in place, without a second copy:
// its 44-byte header grows to 80 bytes (the ds64 chunk that holds the 64-bit
// sizes, then the format and the data chunk's header), over the first 36
// bytes of sound. Those bytes move to a chunk of their own after the sound,
// "frst", and every reader here puts them back in front.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace vardocle {

inline constexpr std::int64_t kRiffHeaderBytes = 44;
inline constexpr std::int64_t kRf64HeaderBytes = 80;
// The sound a switch to RF64 moves behind the data.
inline constexpr std::int64_t kRf64MovedBytes = kRf64HeaderBytes - kRiffHeaderBytes;
inline constexpr std::int64_t kMovedChunkBytes = 8 + kRf64MovedBytes;
// The largest file whose sizes the plain 32-bit header can hold.
inline constexpr std::int64_t kRiffFileSizeLimit = 0xFFFFFFFFLL + 8;

// Reads exactly Size bytes at Offset, or returns false.
using TReadAt = std::function<bool(std::int64_t Offset, void* Buffer, std::size_t Size)>;

struct TWavLayout {
    bool Rf64 = false;
    std::uint16_t FormatTag = 0;
    std::uint16_t Channels = 0;
    std::uint32_t SampleRate = 0;
    std::uint32_t BytesPerSecond = 0;
    std::uint16_t BlockAlign = 0;
    std::uint16_t BitsPerSample = 0;
    std::int64_t DataOffset = 0; // where the data chunk's bytes begin
    // The data chunk's size as the header gives it (from ds64 in RF64); the
    // caller decides what a size of 0 or one past the end means.
    std::int64_t HeaderDataBytes = 0;
    std::int64_t HeaderRiffBytes = 0; // the RIFF (or ds64) size field
    // The first frames of the sound, moved behind the data; none in a plain file.
    std::int64_t MovedOffset = -1;
    std::int64_t MovedBytes = 0;

    // A PCM format whose numbers agree with each other.
    bool IsPcm() const;
};

// False with the reason (English) when the bytes are no WAV file or hold no
// data chunk; the format is not judged (see IsPcm).
bool ReadWavLayout(const TReadAt& ReadAt, std::int64_t FileSize, TWavLayout& Layout,
                   std::string& Problem);

// The bytes of the data chunk the merge takes as sound: what the header says,
// or everything to the end of the file when it says 0 or more than is there.
std::int64_t WavDataBytesPresent(const TWavLayout& Layout, std::int64_t FileSize);

// Reads Count bytes of sound starting at byte Start of the sound (moved
// frames first), where DataBytes of the data chunk are taken as present.
bool ReadWavSound(const TReadAt& ReadAt, const TWavLayout& Layout, std::int64_t DataBytes,
                  std::int64_t Start, void* Buffer, std::size_t Count);

// The 80-byte RF64 header for a file whose data chunk (after the header)
// holds DataBytes, followed by the moved chunk; Format is the 16 bytes of the
// format chunk.
std::array<std::uint8_t, kRf64HeaderBytes> MakeRf64Header(const std::uint8_t* Format,
                                                          std::int64_t DataBytes,
                                                          std::int64_t MovedChunkBytes,
                                                          std::uint16_t BlockAlign);

} // namespace vardocle
