#include "tests/unit/engine/TestPictures.h"

#include <cmath>
#include <fstream>

namespace vardocle::test {

TTestScreen::TTestScreen(int width, int height)
    : Width(width), Height(height), Pixels(static_cast<std::size_t>(width) * height) {
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            // Broad blocks of colour: red grows to the right, blue downwards.
            const std::uint32_t red = (x * 4 / width) * 80;
            const std::uint32_t blue = (y * 4 / height) * 80;
            Pixels[static_cast<std::size_t>(y) * width + x] = (red << 16) | (0x40 << 8) | blue;
        }
}

TSourceImage TTestScreen::Image() const {
    TSourceImage image;
    image.Pixels = reinterpret_cast<const std::uint8_t*>(Pixels.data());
    image.Width = Width;
    image.Height = Height;
    image.Stride = static_cast<std::ptrdiff_t>(Width) * 4;
    image.Layout = TPixelLayout::Bgr0;
    return image;
}

namespace {
void Put(std::ofstream& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.put(static_cast<char>((value >> (8 * i)) & 0xFF));
}
} // namespace

void WriteWav(const std::filesystem::path& file, int sampleRate, int channels, int bits,
              double seconds) {
    const int blockAlign = channels * bits / 8;
    const auto frames = static_cast<std::uint32_t>(sampleRate * seconds);
    const std::uint32_t dataBytes = frames * blockAlign;
    std::ofstream out(file, std::ios::binary);
    out.write("RIFF", 4);
    Put(out, 36 + dataBytes, 4);
    out.write("WAVEfmt ", 8);
    Put(out, 16, 4);
    Put(out, 1, 2);
    Put(out, channels, 2);
    Put(out, sampleRate, 4);
    Put(out, sampleRate * blockAlign, 4);
    Put(out, blockAlign, 2);
    Put(out, bits, 2);
    out.write("data", 4);
    Put(out, dataBytes, 4);
    for (std::uint32_t i = 0; i < frames; ++i) {
        const double value = 0.5 * std::sin(2 * M_PI * 1000.0 * i / sampleRate);
        for (int c = 0; c < channels; ++c) {
            if (bits == 8)
                Put(out, static_cast<std::uint32_t>(128 + value * 127), 1);
            else
                Put(out, static_cast<std::uint32_t>(static_cast<std::int32_t>(value * 32767)), 2);
        }
    }
}

} // namespace vardocle::test
