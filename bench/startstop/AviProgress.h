#pragma once
// What an AVI file being written tells about its progress, read from its
// bytes alone, so that any recorder's file can be watched the same way: whether
// a frame with a picture has reached it yet, and whether it was completed. The
// repair's chunk scanner does the reading: it already trusts no size a file
// being written has not filled in yet.
#include "recovery/ByteSource.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace vardocle::test {

// True once the movie list holds a whole video chunk with a picture in it.
// Empty chunks (slots that repeat the frame before) do not count.
bool HasFirstFrame(const IByteSource& bytes);
bool HasFirstFrame(std::string_view bytes);

// True when the file was completed as a clean stop leaves it: sizes and
// counts written, the index there. A file cut off mid-recording fails.
bool IsCompleteAvi(const IByteSource& bytes);
bool IsCompleteAvi(std::string_view bytes);

// The whole file, empty when it cannot be read.
std::string ReadWholeFile(const std::filesystem::path& file);

} // namespace vardocle::test
