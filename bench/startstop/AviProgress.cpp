#include "bench/startstop/AviProgress.h"

#include "recovery/AviChunkScanner.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <span>

namespace vardocle::test {

namespace {

TMemoryBytes Over(std::string_view bytes) {
    return TMemoryBytes(
        std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

} // namespace

bool HasFirstFrame(const IByteSource& bytes) {
    // A chunk that runs past what was written so far is left out by the scan.
    const TAviScan scan = ScanAvi(bytes);
    return std::any_of(scan.Chunks.begin(), scan.Chunks.end(), [](const TAviChunk& chunk) {
        return chunk.Type[0] == 'd' && (chunk.Type[1] == 'c' || chunk.Type[1] == 'b') &&
               chunk.Size > 0;
    });
}

bool HasFirstFrame(std::string_view bytes) {
    return HasFirstFrame(Over(bytes));
}

bool IsCompleteAvi(const IByteSource& bytes) {
    TAviScanLimits headers;
    headers.HeadersOnly = true;
    return ScanAvi(bytes, headers).Complete();
}

bool IsCompleteAvi(std::string_view bytes) {
    return IsCompleteAvi(Over(bytes));
}

std::string ReadWholeFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace vardocle::test
