#include "bench/longrun/ChangingScreen.h"

#include <algorithm>

namespace vardocle::bench {

namespace {

constexpr int kSquare = 16;
constexpr std::int64_t kChangeEvery = 10;

} // namespace

TChangingScreen::TChangingScreen(int width, int height, TScreenCounts& counts)
    : FWidth(width), FHeight(height), FPixels(std::size_t(width) * std::size_t(height)),
      FCounts(counts) {
    Draw();
}

TScreenChanges TChangingScreen::TakeChanges() {
    const bool changed = FCounts.Asked++ % kChangeEvery == 0;
    if (changed) {
        ++FCounts.Changes;
        Draw();
    }
    return {changed, false};
}

TScreenGrab TChangingScreen::Grab() {
    return {reinterpret_cast<std::uint8_t*>(FPixels.data()), FWidth, FHeight,
            std::ptrdiff_t(FWidth) * 4};
}

void TChangingScreen::Draw() {
    for (int y = 0; y < FHeight; ++y)
        for (int x = 0; x < FWidth; ++x)
            FPixels[std::size_t(y) * std::size_t(FWidth) + std::size_t(x)] =
                0x00204060u + std::uint32_t((x * 3 + y * 5) & 0x3F);
    const std::int64_t step = FCounts.Changes;
    const int left = int(step * 7 % std::max(1, FWidth - kSquare));
    const int top = int(step * 3 % std::max(1, FHeight - kSquare));
    for (int y = top; y < std::min(FHeight, top + kSquare); ++y)
        for (int x = left; x < std::min(FWidth, left + kSquare); ++x)
            FPixels[std::size_t(y) * std::size_t(FWidth) + std::size_t(x)] = 0x00F0E0D0u;
}

} // namespace vardocle::bench
