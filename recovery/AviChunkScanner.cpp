#include "recovery/AviChunkScanner.h"

#include <algorithm>
#include <cstring>

namespace vardocle {

namespace {

constexpr std::uint32_t kUnwrittenSize = 0xFFFFFFFF; // what a file never completed holds

std::uint32_t Le32(const std::uint8_t* bytes) {
    return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) |
           (static_cast<std::uint32_t>(bytes[3]) << 24);
}

bool IsId(const std::uint8_t* id, const char* text) {
    return std::memcmp(id, text, 4) == 0;
}

bool IsPrintableId(const std::uint8_t* id) {
    return std::all_of(id, id + 4, [](std::uint8_t c) { return c >= 0x20 && c <= 0x7E; });
}

bool IsDigit(std::uint8_t c) {
    return c >= '0' && c <= '9';
}

bool IsLetter(std::uint8_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// "00dc", "01wb": two digits of the stream, two letters of the kind.
bool IsStreamChunk(const std::uint8_t* id) {
    return IsDigit(id[0]) && IsDigit(id[1]) && IsLetter(id[2]) && IsLetter(id[3]);
}

// "ix00": the large-file index of one stream.
bool IsSegmentIndex(const std::uint8_t* id) {
    return id[0] == 'i' && id[1] == 'x' && IsDigit(id[2]) && IsDigit(id[3]);
}

class TScanner {
public:
    TScanner(const IByteSource& source, const TAviScanLimits& limits, TAviScan& scan)
        : FSource(source), FLimits(limits), FScan(scan), FSize(source.Size()) {}

    void Run();

private:
    struct THeader {
        std::uint8_t Id[4];
        std::uint32_t Size;
    };
    bool ReadHeader(std::int64_t offset, THeader& header) const {
        std::uint8_t bytes[8];
        if (!FSource.ReadAt(offset, bytes, sizeof bytes))
            return false;
        std::memcpy(header.Id, bytes, 4);
        header.Size = Le32(bytes + 4);
        return true;
    }
    bool ReadId(std::int64_t offset, std::uint8_t (&id)[4]) const {
        return FSource.ReadAt(offset, id, sizeof id);
    }
    void Garbage(std::int64_t offset) {
        if (FScan.GarbageOffset < 0) {
            FScan.GarbageOffset = offset;
            FScan.GarbageBytes = FSize - offset;
        }
        FStopped = true;
    }
    // The end of a list or segment whose size field says `size`: the file's
    // end when the size was never written or runs past the end.
    std::int64_t ListEnd(std::int64_t dataStart, std::uint32_t size, std::int64_t outerEnd,
                         bool& open) const {
        const std::int64_t declared = dataStart + size;
        open = size == kUnwrittenSize || declared > outerEnd;
        return open ? outerEnd : declared;
    }

    bool ScanSegment(std::int64_t start, std::int64_t end, bool first);
    void ScanHeaderList(std::int64_t start, std::int64_t end);
    void ScanStreamList(std::int64_t start, std::int64_t end);
    void ScanMovi(std::int64_t start, std::int64_t end);
    bool AddChunk(const THeader& header, std::int64_t dataOffset);

    const IByteSource& FSource;
    const TAviScanLimits& FLimits;
    TAviScan& FScan;
    const std::int64_t FSize;
    bool FStopped = false;
    bool FSawMovi = false;
};

void TScanner::Run() {
    FScan.FileSize = FSize;
    if (FSize == 0) {
        FScan.Problem = "it is empty: no frame was recorded";
        return;
    }
    std::uint8_t riff[12];
    if (!FSource.ReadAt(0, riff, sizeof riff) || !IsId(riff, "RIFF") || !IsId(riff + 8, "AVI ")) {
        FScan.Problem = "it is not an AVI file";
        return;
    }
    FScan.IsAvi = true;
    FScan.SizesComplete = true;
    std::int64_t offset = 0;
    for (bool first = true; offset < FSize && !FStopped; first = false) {
        std::uint8_t head[12];
        if (!FSource.ReadAt(offset, head, sizeof head) || !IsId(head, "RIFF") ||
            !IsId(head + 8, first ? "AVI " : "AVIX")) {
            Garbage(offset);
            break;
        }
        const std::uint32_t size = Le32(head + 4);
        bool open = false;
        const std::int64_t end = size < 4 ? FSize : ListEnd(offset + 8, size, FSize, open);
        open = open || size < 4;
        if (open)
            FScan.SizesComplete = false;
        ++FScan.Segments;
        if (!ScanSegment(offset + 12, end, first) || open)
            break;
        offset = end + (size & 1);
    }
    // Bytes after the last complete segment that start no new one do no
    // harm to a complete file; they are noted all the same.
    if (FScan.GarbageOffset >= 0 && FScan.GarbageOffset == offset)
        FScan.GarbageAfterSegments = true;
    if (!FSawMovi && FScan.Problem.empty())
        FScan.Problem = "it holds no video data";
}

// False when the scan cannot go on past this segment.
bool TScanner::ScanSegment(std::int64_t start, std::int64_t end, bool first) {
    std::int64_t offset = start;
    while (offset + 8 <= end && !FStopped) {
        THeader header{};
        if (!ReadHeader(offset, header))
            return false;
        if (!IsPrintableId(header.Id)) {
            Garbage(offset);
            return false;
        }
        const std::int64_t dataStart = offset + 8;
        if (IsId(header.Id, "LIST")) {
            std::uint8_t type[4];
            if (header.Size < 4 || !ReadId(dataStart, type)) {
                FScan.ChunkCutOff = dataStart + 4 > end;
                if (!FScan.ChunkCutOff)
                    Garbage(offset);
                return false;
            }
            bool open = false;
            const std::int64_t listEnd = ListEnd(dataStart, header.Size, end, open);
            if (IsId(type, "hdrl") && first) {
                ScanHeaderList(dataStart + 4, listEnd);
            } else if (IsId(type, "movi")) {
                FSawMovi = true;
                if (open)
                    FScan.SizesComplete = false;
                // An open list already tells that the file is incomplete.
                if (!FLimits.HeadersOnly)
                    ScanMovi(dataStart + 4, listEnd);
            }
            if (open)
                return false;
        } else if (IsId(header.Id, "idx1")) {
            if (dataStart + header.Size > end) {
                FScan.IndexCutOff = true;
                return false;
            }
            if (first)
                FScan.HaveIndex = true;
        } else if (dataStart + header.Size > end) {
            // Another chunk (padding, tags) cut off: nothing of the video is lost.
            FScan.ChunkCutOff = true;
            return false;
        }
        offset = dataStart + header.Size + (header.Size & 1);
    }
    // A chunk header cut in half at the very end.
    if (offset < end && offset + 8 > end && end == FSize)
        FScan.ChunkCutOff = true;
    return !FStopped;
}

void TScanner::ScanHeaderList(std::int64_t start, std::int64_t end) {
    std::int64_t offset = start;
    while (offset + 8 <= end) {
        THeader header{};
        if (!ReadHeader(offset, header))
            return;
        const std::int64_t dataStart = offset + 8;
        if (dataStart + header.Size > end)
            return;
        if (IsId(header.Id, "avih") && header.Size >= 56) {
            std::uint8_t avih[20];
            if (FSource.ReadAt(dataStart, avih, sizeof avih)) {
                FScan.HaveMainHeader = true;
                FScan.HeaderFrames = Le32(avih + 16);
            }
        } else if (IsId(header.Id, "LIST") && header.Size >= 4) {
            std::uint8_t type[4];
            if (ReadId(dataStart, type) && IsId(type, "strl") &&
                FScan.Streams.size() < FLimits.MaxStreams)
                ScanStreamList(dataStart + 4, dataStart + header.Size);
        }
        offset = dataStart + header.Size + (header.Size & 1);
    }
}

void TScanner::ScanStreamList(std::int64_t start, std::int64_t end) {
    TAviStreamHeader stream;
    bool haveHeader = false;
    std::int64_t offset = start;
    while (offset + 8 <= end) {
        THeader header{};
        if (!ReadHeader(offset, header))
            break;
        const std::int64_t dataStart = offset + 8;
        if (dataStart + header.Size > end)
            break;
        if (IsId(header.Id, "strh") && header.Size >= 48) {
            std::uint8_t strh[48];
            if (FSource.ReadAt(dataStart, strh, sizeof strh)) {
                haveHeader = true;
                stream.Type = Le32(strh);
                stream.Handler = Le32(strh + 4);
                stream.Scale = Le32(strh + 20);
                stream.Rate = Le32(strh + 24);
                stream.Length = Le32(strh + 32);
                stream.SampleSize = Le32(strh + 44);
            }
        } else if (IsId(header.Id, "strf") && header.Size <= FLimits.MaxFormatBytes) {
            // The size was checked against the list, and so against the file.
            stream.Format.resize(header.Size);
            if (!FSource.ReadAt(dataStart, stream.Format.data(), stream.Format.size()))
                stream.Format.clear();
        }
        offset = dataStart + header.Size + (header.Size & 1);
    }
    // A stream without its header is still counted, so that chunk numbers
    // keep naming the right stream.
    if (!haveHeader)
        stream = TAviStreamHeader{};
    FScan.Streams.push_back(std::move(stream));
}

void TScanner::ScanMovi(std::int64_t start, std::int64_t end) {
    std::int64_t offset = start;
    while (offset + 8 <= end && !FStopped) {
        THeader header{};
        if (!ReadHeader(offset, header))
            return;
        const std::int64_t dataStart = offset + 8;
        if (IsId(header.Id, "LIST") && header.Size >= 4) {
            // A group of chunks ("rec "): its chunks are read as if loose.
            offset = dataStart + 4;
            continue;
        }
        const bool known = IsStreamChunk(header.Id) || IsSegmentIndex(header.Id) ||
                           IsId(header.Id, "JUNK") || IsId(header.Id, "idx1");
        if (!known) {
            Garbage(offset);
            return;
        }
        if (dataStart + header.Size > end) {
            // Cut off by the end of the file (or of a list that says so).
            FScan.ChunkCutOff = true;
            return;
        }
        if (IsStreamChunk(header.Id)) {
            if (!AddChunk(header, dataStart))
                return;
        } else if (IsSegmentIndex(header.Id)) {
            FScan.HaveSegmentIndex = true;
        }
        offset = dataStart + header.Size + (header.Size & 1);
    }
    if (offset < end && offset + 8 > end && end == FSize)
        FScan.ChunkCutOff = true;
}

bool TScanner::AddChunk(const THeader& header, std::int64_t dataOffset) {
    if (FScan.Chunks.size() >= FLimits.MaxChunks) {
        FScan.Problem = "it holds more chunks than any recording could";
        FStopped = true;
        return false;
    }
    TAviChunk chunk;
    chunk.Offset = dataOffset;
    chunk.Size = header.Size;
    chunk.Stream = static_cast<std::uint16_t>((header.Id[0] - '0') * 10 + (header.Id[1] - '0'));
    chunk.Type[0] = static_cast<char>(header.Id[2]);
    chunk.Type[1] = static_cast<char>(header.Id[3]);
    FScan.Chunks.push_back(chunk);
    return true;
}

} // namespace

bool TAviScan::Complete() const {
    return IsAvi && Problem.empty() && SizesComplete && HaveIndex && !IndexCutOff && !ChunkCutOff &&
           (GarbageOffset < 0 || GarbageAfterSegments) && (HeaderFrames > 0 || Chunks.empty());
}

std::int64_t TAviScan::ChunkCount(int stream) const {
    return std::count_if(Chunks.begin(), Chunks.end(),
                         [stream](const TAviChunk& chunk) { return chunk.Stream == stream; });
}

TAviScan ScanAvi(const IByteSource& Source, const TAviScanLimits& Limits) {
    TAviScan scan;
    TScanner(Source, Limits, scan).Run();
    return scan;
}

} // namespace vardocle
