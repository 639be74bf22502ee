#pragma once
// Comparing a grabbed picture with what the screen should show.
#include "platform/screen/Screen.h"
#include "tests/integration/capture/TestDesktop.h"

#include <cmath>
#include <cstdint>
#include <functional>

namespace vardocle::test {

inline std::uint32_t PixelAt(const TScreenGrab& grab, int x, int y) {
    const auto* row = grab.Pixels + static_cast<std::ptrdiff_t>(y) * grab.Stride;
    const std::uint8_t* pixel = row + static_cast<std::ptrdiff_t>(x) * 4;
    return (pixel[2] << 16 | pixel[1] << 8 | pixel[0]) & 0xFFFFFFu;
}

// PSNR of a part of the grab (in grab coordinates) against what the screen
// should show at the same root position; `offsetX/Y` is the grab's corner.
inline double Psnr(const TScreenGrab& grab, const TTestRect& part, int offsetX, int offsetY,
                   const std::function<std::uint32_t(int, int)>& expected) {
    double squared = 0;
    long samples = 0;
    for (int y = part.Y; y < part.Y + part.Height; ++y)
        for (int x = part.X; x < part.X + part.Width; ++x) {
            const std::uint32_t got = PixelAt(grab, x, y);
            const std::uint32_t want = expected(x + offsetX, y + offsetY);
            for (int shift = 0; shift < 24; shift += 8) {
                const double difference =
                    static_cast<double>((got >> shift) & 0xFF) - ((want >> shift) & 0xFF);
                squared += difference * difference;
                ++samples;
            }
        }
    const double mean = squared / static_cast<double>(samples);
    return mean == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mean);
}

} // namespace vardocle::test
