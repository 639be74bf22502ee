#pragma once
// Pictures and sound files the engine tests feed in.
#include "platform/avifile/SourceImage.h"

#include <cstdint>
#include <filesystem>
#include <vector>

namespace vardocle::test {

// A 32-bit screen-like picture whose pixel (x, y) has a colour derived from
// its position, so orientation and scaling mistakes show.
struct TTestScreen {
    TTestScreen(int width, int height);
    TSourceImage Image() const;
    std::uint32_t Pixel(int x, int y) const {
        return Pixels[static_cast<std::size_t>(y) * Width + x];
    }

    int Width;
    int Height;
    std::vector<std::uint32_t> Pixels; // 0x00RRGGBB
};

// A PCM WAV file of a steady tone.
void WriteWav(const std::filesystem::path& file, int sampleRate, int channels, int bits,
              double seconds);

} // namespace vardocle::test
