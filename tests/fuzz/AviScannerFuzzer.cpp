// Any bytes at all: the scan ends, stays within the input, and what it
// reports about chunks and garbage agrees with the input's length.
#include "recovery/AviChunkScanner.h"

#include <cstdlib>

using namespace vardocle;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const TMemoryBytes bytes(std::span<const std::uint8_t>(data, size));
    TAviScanLimits limits;
    limits.MaxChunks = 100000;
    const TAviScan scan = ScanAvi(bytes, limits);
    const auto length = static_cast<std::int64_t>(size);
    std::int64_t previous = 0;
    for (const TAviChunk& chunk : scan.Chunks) {
        // Chunks come in file order and lie whole inside the input.
        if (chunk.Offset < previous || chunk.Offset + chunk.Size > length)
            std::abort();
        previous = chunk.Offset + chunk.Size;
    }
    if (scan.GarbageOffset > length || scan.GarbageBytes < 0 ||
        (scan.GarbageOffset >= 0 && scan.GarbageOffset + scan.GarbageBytes != length))
        std::abort();
    if (scan.Complete() && !scan.IsAvi)
        std::abort();
    // Damage passed over lies inside the input, in order, before the chunks after it.
    std::int64_t skippedTo = 0;
    for (const TAviSkip& skip : scan.Skipped) {
        if (skip.Offset < skippedTo || skip.Bytes <= 0 || skip.Offset + skip.Bytes > length ||
            skip.BeforeChunk > scan.Chunks.size())
            std::abort();
        skippedTo = skip.Offset + skip.Bytes;
    }
    return 0;
}
