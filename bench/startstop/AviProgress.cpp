#include "bench/startstop/AviProgress.h"

#include <fstream>
#include <iterator>
#include <optional>
#include <string>

namespace vardocle::test {

namespace {

constexpr std::size_t kChunkHeader = 8;
constexpr std::size_t kRiffHeader = 12; // "RIFF", size, "AVI "

std::uint32_t ReadU32(std::string_view bytes, std::size_t at) {
    const auto byte = [&](std::size_t i) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i]));
    };
    return byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24;
}

// Chunks are padded to an even length.
std::size_t Padded(std::uint32_t size) {
    return static_cast<std::size_t>(size) + (size & 1);
}

bool IsAvi(std::string_view bytes) {
    return bytes.size() >= kRiffHeader && bytes.substr(0, 4) == "RIFF" &&
           bytes.substr(8, 4) == "AVI ";
}

// Where the first top-level LIST of the given type starts its contents.
std::optional<std::size_t> ListContents(std::string_view bytes, std::string_view type) {
    std::size_t at = kRiffHeader;
    while (at + kChunkHeader + 4 <= bytes.size()) {
        const std::string_view id = bytes.substr(at, 4);
        const std::uint32_t size = ReadU32(bytes, at + 4);
        if (id == "LIST" && bytes.substr(at + kChunkHeader, 4) == type)
            return at + kChunkHeader + 4;
        at += kChunkHeader + Padded(size);
    }
    return std::nullopt;
}

bool HasChunk(std::string_view bytes, std::string_view wanted) {
    std::size_t at = kRiffHeader;
    while (at + kChunkHeader <= bytes.size()) {
        if (bytes.substr(at, 4) == wanted)
            return true;
        at += kChunkHeader + Padded(ReadU32(bytes, at + 4));
    }
    return false;
}

} // namespace

bool HasFirstFrame(std::string_view bytes) {
    if (!IsAvi(bytes))
        return false;
    const auto movie = ListContents(bytes, "movi");
    if (!movie)
        return false;
    std::size_t at = *movie;
    while (at + kChunkHeader <= bytes.size()) {
        const std::string_view id = bytes.substr(at, 4);
        const std::uint32_t size = ReadU32(bytes, at + 4);
        // "NNdc" compressed and "NNdb" uncompressed video.
        const bool video = id.substr(2) == "dc" || id.substr(2) == "db";
        if (video && size > 0)
            return at + kChunkHeader + size <= bytes.size();
        at += kChunkHeader + Padded(size);
    }
    return false;
}

bool IsCompleteAvi(std::string_view bytes) {
    return IsAvi(bytes) && ReadU32(bytes, 4) == bytes.size() - kChunkHeader &&
           HasChunk(bytes, "idx1");
}

std::string ReadWholeFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace vardocle::test
