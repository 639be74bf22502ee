#pragma once
// A screen on which something changes in one slot of ten: a square that
// moves on each change over a still background. The cursor is not shown.
#include "platform/screen/Screen.h"

#include <atomic>
#include <cstdint>
#include <vector>

namespace vardocle::bench {

// How often the screen was asked and how often it changed; outlives the
// screen, which the recording frees when it ends.
struct TScreenCounts {
    std::atomic<std::int64_t> Asked{0};
    std::atomic<std::int64_t> Changes{0};
};

class TChangingScreen : public IScreen {
public:
    TChangingScreen(int width, int height, TScreenCounts& counts);

    TScreenChanges TakeChanges() override;
    TScreenGrab Grab() override;
    TCursorImage Cursor() override { return {}; }
    void SetCaptureTransparent(bool) override {}

private:
    void Draw();

    int FWidth;
    int FHeight;
    std::vector<std::uint32_t> FPixels;
    TScreenCounts& FCounts;
};

} // namespace vardocle::bench
