#include "recovery/AviChunkScanner.h"

#include "platform/avifile/MiniVFW.h"

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

// The stream a chunk id such as "01wb" names.
std::size_t StreamNumber(const std::uint8_t* id) {
    return static_cast<std::size_t>(id[0] - '0') * 10 + static_cast<std::size_t>(id[1] - '0');
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
    bool OfKnownStream(const std::uint8_t* id) const;
    bool Sensible(const THeader& header, std::int64_t dataStart, std::int64_t end) const;
    bool Plausible(std::int64_t at, std::int64_t end) const;
    std::int64_t FindNextChunk(std::int64_t from, std::int64_t end) const;
    void Skip(std::int64_t from, std::int64_t to);
    void KeepWholeSamples(const THeader& header, std::int64_t dataStart, std::int64_t end);
    void CheckIndex();
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
    // The first segment's movie list (where its "movi" tag lies) and index.
    std::int64_t FFirstMovi = -1;
    std::size_t FFirstChunks = 0;
    std::int64_t FIndexOffset = -1;
    std::uint32_t FIndexSize = 0;
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
        const bool goOn = ScanSegment(offset + 12, end, first);
        if (first)
            FFirstChunks = FScan.Chunks.size();
        if (!goOn || open)
            break;
        offset = end + (size & 1);
    }
    // Bytes after the last complete segment that start no new one do no
    // harm to a complete file; they are noted all the same.
    if (FScan.GarbageOffset >= 0 && FScan.GarbageOffset == offset)
        FScan.GarbageAfterSegments = true;
    if (!FSawMovi && FScan.Problem.empty())
        FScan.Problem = "it holds no video data";
    if (!FLimits.HeadersOnly && FScan.HaveIndex && FScan.Problem.empty())
        CheckIndex();
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
                if (first && FFirstMovi < 0)
                    FFirstMovi = dataStart;
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
            if (first) {
                FScan.HaveIndex = true;
                FIndexOffset = dataStart;
                FIndexSize = header.Size;
            }
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
        if (!Sensible(header, dataStart, end)) {
            // Damage, or the end of a file cut off: what follows a damaged
            // stretch is found again by the next chunk that makes sense.
            const std::int64_t next = FindNextChunk(offset + 1, end);
            if (next >= 0) {
                Skip(offset, next);
                offset = next;
                continue;
            }
            if (dataStart + header.Size > end && OfKnownStream(header.Id)) {
                // Cut off by the end of the file (or of a list that says so).
                FScan.ChunkCutOff = true;
                KeepWholeSamples(header, dataStart, end);
            } else {
                Garbage(offset);
            }
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

// A stream chunk of a stream the header lists, of that stream's kind; any
// stream chunk when the header named no stream.
bool TScanner::OfKnownStream(const std::uint8_t* id) const {
    if (!IsStreamChunk(id))
        return false;
    if (FScan.Streams.empty())
        return true;
    const std::size_t stream = StreamNumber(id);
    if (stream >= FScan.Streams.size())
        return false;
    const std::uint32_t type = FScan.Streams[stream].Type;
    if (type == streamtypeVIDEO)
        return id[2] == 'd' && (id[3] == 'c' || id[3] == 'b');
    if (type == streamtypeAUDIO)
        return id[2] == 'w' && id[3] == 'b';
    return type == 0; // a stream whose header was lost: no kind to check
}

bool TScanner::Sensible(const THeader& header, std::int64_t dataStart, std::int64_t end) const {
    const bool known = OfKnownStream(header.Id) || IsSegmentIndex(header.Id) ||
                       IsId(header.Id, "JUNK") || IsId(header.Id, "idx1");
    return known && dataStart + header.Size <= end;
}

// A chunk that makes sense at `at`, followed by another that does (or by the
// list's end): two in a row are not found by chance in damaged bytes.
bool TScanner::Plausible(std::int64_t at, std::int64_t end) const {
    THeader header{};
    if (!ReadHeader(at, header) || !OfKnownStream(header.Id) || at + 8 + header.Size > end)
        return false;
    const std::int64_t next = at + 8 + header.Size + (header.Size & 1);
    if (next + 8 > end)
        return true;
    THeader following{};
    if (!ReadHeader(next, following))
        return false;
    const bool known = OfKnownStream(following.Id) || IsSegmentIndex(following.Id) ||
                       IsId(following.Id, "JUNK") || IsId(following.Id, "LIST");
    // The chunk after may be the one a cut ended.
    return known && (next + 8 + following.Size <= end || end == FSize);
}

// Each byte is looked at once, in blocks: the search takes time in
// proportion to the bytes it passes over.
std::int64_t TScanner::FindNextChunk(std::int64_t from, std::int64_t end) const {
    constexpr std::int64_t kBlock = std::int64_t{64} * 1024;
    std::vector<std::uint8_t> block;
    for (std::int64_t at = from; at + 8 <= end; at += kBlock) {
        const std::int64_t length = std::min(kBlock + 3, end - at);
        block.resize(static_cast<std::size_t>(length));
        if (!FSource.ReadAt(at, block.data(), block.size()))
            return -1;
        for (std::int64_t i = 0; i + 4 <= length && i < kBlock; ++i)
            if (OfKnownStream(block.data() + i) && Plausible(at + i, end))
                return at + i;
    }
    return -1;
}

void TScanner::Skip(std::int64_t from, std::int64_t to) {
    // Damage spread over the whole file is noted as one stretch from the
    // thousandth on, so that the notes stay few.
    constexpr std::size_t kMaxNotes = 1000;
    if (FScan.Skipped.size() >= kMaxNotes) {
        TAviSkip& last = FScan.Skipped.back();
        last.Bytes = to - last.Offset;
        last.BeforeChunk = FScan.Chunks.size();
        return;
    }
    FScan.Skipped.push_back(TAviSkip{from, to - from, FScan.Chunks.size()});
}

// A sound chunk cut off by the end still holds whole samples that any player
// plays: they are kept, the half sample at the end is not.
void TScanner::KeepWholeSamples(const THeader& header, std::int64_t dataStart, std::int64_t end) {
    const std::size_t stream = StreamNumber(header.Id);
    if (stream >= FScan.Streams.size() || FScan.Streams[stream].Type != streamtypeAUDIO ||
        FScan.Streams[stream].Format.size() < 14)
        return;
    const std::vector<std::uint8_t>& format = FScan.Streams[stream].Format;
    const std::uint32_t blockAlign = format[12] | (format[13] << 8);
    if (blockAlign == 0 || dataStart > end)
        return;
    THeader cut = header;
    cut.Size = static_cast<std::uint32_t>((end - dataStart) / blockAlign * blockAlign);
    if (cut.Size > 0)
        AddChunk(cut, dataStart);
}

// The index of a complete file must name its chunks as they are; where it
// names chunks inside damaged stretches, they become lost chunks that keep
// their slots.
void TScanner::CheckIndex() {
    constexpr std::uint32_t kKeyFrame = 0x10;
    const std::size_t entries = FIndexSize / 16;
    std::vector<std::uint8_t> index(static_cast<std::size_t>(FIndexSize) / 16 * 16);
    if (FIndexOffset < 0 || FFirstMovi < 0 ||
        !FSource.ReadAt(FIndexOffset, index.data(), index.size())) {
        FScan.IndexMismatch = true;
        return;
    }
    // Offsets count from the "movi" tag; some writers count from the file's start.
    std::int64_t base = FFirstMovi;
    if (entries > 0 && FFirstChunks > 0 && Le32(index.data() + 8) + 8 == FScan.Chunks[0].Offset)
        base = 0;
    std::vector<TAviChunk> merged;
    std::size_t found = 0;
    std::size_t skip = 0;
    bool sawVideo = false;
    std::int64_t previousEnd = 0;
    for (std::size_t n = 0; n < entries; ++n) {
        const std::uint8_t* entry = index.data() + 16 * n;
        const std::int64_t dataOffset = base + Le32(entry + 8) + 8;
        const std::uint32_t size = Le32(entry + 12);
        if (IsId(entry, "LIST") || IsId(entry, "JUNK"))
            continue;
        if (!OfKnownStream(entry) || dataOffset < previousEnd) {
            FScan.IndexMismatch = true;
            return;
        }
        TAviChunk chunk;
        if (found < FFirstChunks && FScan.Chunks[found].Offset == dataOffset) {
            chunk = FScan.Chunks[found++];
            if (chunk.Size != size || std::memcmp(chunk.Type, entry + 2, 2) != 0 ||
                chunk.Stream != StreamNumber(entry)) {
                FScan.IndexMismatch = true;
                return;
            }
        } else {
            while (skip < FScan.Skipped.size() &&
                   FScan.Skipped[skip].Offset + FScan.Skipped[skip].Bytes <= dataOffset - 8)
                ++skip;
            const bool inDamage = skip < FScan.Skipped.size() &&
                                  FScan.Skipped[skip].Offset <= dataOffset - 8 &&
                                  FScan.Skipped[skip].BeforeChunk == found;
            if (!inDamage || dataOffset > FSize) {
                FScan.IndexMismatch = true;
                return;
            }
            chunk.Offset = dataOffset;
            chunk.Stream = static_cast<std::uint16_t>(StreamNumber(entry));
            std::memcpy(chunk.Type, entry + 2, 2);
            chunk.Lost = true;
            chunk.LostBytes = size;
        }
        previousEnd = chunk.Offset + chunk.Size;
        if (!sawVideo && FScan.Streams.size() > chunk.Stream &&
            FScan.Streams[chunk.Stream].Type == streamtypeVIDEO) {
            sawVideo = true;
            if ((Le32(entry + 4) & kKeyFrame) == 0) {
                FScan.IndexMismatch = true;
                return;
            }
        }
        merged.push_back(chunk);
    }
    if (found != FFirstChunks) {
        FScan.IndexMismatch = true;
        return;
    }
    if (merged.size() == FFirstChunks)
        return;
    // The lost chunks take their places; the skips now count them too.
    for (TAviSkip& skipped : FScan.Skipped) {
        std::size_t before = 0;
        while (before < merged.size() && merged[before].Offset - 8 < skipped.Offset)
            ++before;
        skipped.BeforeChunk = before;
    }
    merged.insert(merged.end(), FScan.Chunks.begin() + static_cast<std::ptrdiff_t>(FFirstChunks),
                  FScan.Chunks.end());
    FScan.Chunks = std::move(merged);
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
           Skipped.empty() && !IndexMismatch && (GarbageOffset < 0 || GarbageAfterSegments) &&
           (HeaderFrames > 0 || Chunks.empty());
}

std::int64_t TAviScan::ChunkCount(int stream) const {
    return std::count_if(Chunks.begin(), Chunks.end(),
                         [stream](const TAviChunk& chunk) { return chunk.Stream == stream; });
}

std::int64_t TAviScan::SkippedBytes() const {
    std::int64_t bytes = 0;
    for (const TAviSkip& skip : Skipped)
        bytes += skip.Bytes;
    return bytes;
}

TAviScan ScanAvi(const IByteSource& Source, const TAviScanLimits& Limits) {
    TAviScan scan;
    TScanner(Source, Limits, scan).Run();
    return scan;
}

} // namespace vardocle
