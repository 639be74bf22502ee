#pragma once
// Reads the layout of an AVI file, also one that was never completed: the
// RIFF segments (the first "AVI ", then "AVIX" ones past a gigabyte), the
// header list with each stream's header and format, and every chunk of each
// segment's "movi" list, empty ones included (they are repeated frames and
// carry the timing). Sizes in the file are untrusted: a scan takes memory and
// time in proportion to the file's length, whatever the bytes say.
#include "recovery/ByteSource.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vardocle {

struct TAviChunk {
    std::int64_t Offset = 0; // of the chunk's data, after its 8-byte header
    std::uint32_t Size = 0;
    std::uint16_t Stream = 0; // the two digits of "00dc", "01wb"
    char Type[2] = {};        // "dc", "db", "wb", ...
    // A chunk lost in damaged bytes, known only from the index: it keeps its
    // slot (a repeated frame, or silence of LostBytes) so that what follows
    // stays in time. Offset is where it lay; Size is 0.
    bool Lost = false;
    std::uint32_t LostBytes = 0;
};

// Bytes inside a movie list that made no sense as chunks and were passed
// over up to the next chunk that did.
struct TAviSkip {
    std::int64_t Offset = 0;
    std::int64_t Bytes = 0;
    std::size_t BeforeChunk = 0; // the index in Chunks of the first chunk after it
};

struct TAviStreamHeader {
    std::uint32_t Type = 0;    // 'vids', 'auds'
    std::uint32_t Handler = 0; // the codec's four-character code
    std::uint32_t Scale = 0;
    std::uint32_t Rate = 0;
    std::uint32_t Length = 0; // as the header says (0 in a file never completed)
    std::uint32_t SampleSize = 0;
    std::vector<std::uint8_t> Format; // the "strf" bytes
};

struct TAviScan {
    bool IsAvi = false;  // starts as "RIFF....AVI "
    std::string Problem; // why nothing could be read, in English; empty otherwise
    bool HaveMainHeader = false;
    std::uint32_t HeaderFrames = 0; // "avih" total frames
    std::vector<TAviStreamHeader> Streams;
    std::vector<TAviChunk> Chunks; // the movi chunks of every segment, in file order
    int Segments = 0;
    bool HaveIndex = false;        // "idx1" in the first segment
    bool HaveSegmentIndex = false; // "ix##" chunks (the large-file index)
    // Every RIFF and movi size was written and agrees with the file.
    bool SizesComplete = false;
    bool IndexCutOff = false;        // an "idx1" that runs past the end
    bool ChunkCutOff = false;        // the last chunk runs past the end (dropped)
    std::int64_t GarbageOffset = -1; // where unreadable bytes begin, -1 for none
    std::int64_t GarbageBytes = 0;
    std::vector<TAviSkip> Skipped; // damage inside the movie lists, scanned past
    // The first segment's "idx1" disagrees with its chunks (checked only when
    // the chunks were read).
    bool IndexMismatch = false;
    // The unreadable bytes lie after the last complete segment, outside the recording.
    bool GarbageAfterSegments = false;
    std::int64_t FileSize = 0;

    // A file a clean Stop would have left: sizes, counts and index written.
    bool Complete() const;
    // The chunks of one stream, with their empty and lost ones.
    std::int64_t ChunkCount(int stream) const;
    std::int64_t SkippedBytes() const;
};

struct TAviScanLimits {
    // Beyond any real recording (a day at 5 frames a second is 432000); a
    // file claiming more is refused rather than filling the memory.
    std::size_t MaxChunks = 20'000'000;
    std::size_t MaxStreams = 16;
    std::size_t MaxFormatBytes = 64 * 1024;
    // Only the segments' and lists' sizes, not the chunks inside "movi":
    // enough to tell whether a file is complete.
    bool HeadersOnly = false;
};

TAviScan ScanAvi(const IByteSource& Source, const TAviScanLimits& Limits = {});

} // namespace vardocle
