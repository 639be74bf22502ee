#pragma once
// What an AVI file being written tells about its progress, read from its
// bytes alone, so that any recorder's file can be watched the same way: whether
// a frame with a picture has reached it yet, and whether it was completed.
#include <cstdint>
#include <filesystem>
#include <string_view>

namespace vardocle::test {

// True once the movie list holds a whole video chunk with a picture in it.
// Empty chunks (slots that repeat the frame before) do not count. The list's
// own size is not trusted: recorders fill it in only at the end.
bool HasFirstFrame(std::string_view bytes);

// True when the file was completed: its RIFF size covers the file exactly
// and the index is there. A file cut off mid-recording fails both.
bool IsCompleteAvi(std::string_view bytes);

// The whole file, empty when it cannot be read.
std::string ReadWholeFile(const std::filesystem::path& file);

} // namespace vardocle::test
