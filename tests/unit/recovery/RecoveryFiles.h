#pragma once
// Files for the repair tests: AVI byte strings built chunk by chunk, real
// recordings written by our own writer and left as a killed recorder leaves
// them, and sound files as the sound recorder writes them.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vardocle::test {

using TBytes = std::vector<std::uint8_t>;

TBytes Chunk(const std::string& id, const TBytes& data, std::uint32_t sizeField = 0xFFFFFFF0);
TBytes List(const std::string& head, const std::string& type, const TBytes& children,
            std::uint32_t sizeField = 0xFFFFFFF0); // 0xFFFFFFF0: the real size
// hdrl with one video stream (H264, 1/Rate), frame count 0 as at the start.
TBytes HeaderList(std::uint32_t rate = 5);
TBytes operator+(TBytes a, const TBytes& b);

TBytes ReadBytes(const std::filesystem::path& path);
void SaveBytes(const std::filesystem::path& path, const TBytes& bytes);

// Raw 8x8 frames at 5 per second, one per listed slot (slot n filled with
// byte n), written as the recorder does; Complete decides whether the file
// is finished or left as after kill -9.
void WriteRecording(const std::filesystem::path& path, const std::vector<int>& slots,
                    bool complete);
// A 16-bit stereo 44100 Hz WAV as the recorder leaves it when killed: sizes
// 36 and 0, then Frames frames (plus ExtraBytes of a cut frame).
void WriteKilledWav(const std::filesystem::path& path, int frames, int extraBytes = 0);

} // namespace vardocle::test
