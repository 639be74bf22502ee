#pragma once
// A picture handed to the scaler or a compressor: the full-size screen grab
// (32-bit B, G, R, unused) or a 24-bit B, G, R bitmap. A negative stride walks
// the rows bottom-up, as device-independent bitmaps store them.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

namespace vardocle {

enum class TPixelLayout { Bgr0, Bgr24 };

// The rows [Top, Bottom) of a picture that may differ from the picture the
// same source handed over before it; every row unless the source knows. Rows
// far apart (a line of text and the cursor) are kept as separate runs.
struct TChangedRows {
    TChangedRows() = default;
    TChangedRows(int top, int bottom) : Top(top), Bottom(bottom) {}

    int Top = 0;
    int Bottom = std::numeric_limits<int>::max();

    static TChangedRows Nothing() { return {0, 0}; }
    bool Empty() const { return Bottom <= Top; }
    bool All() const { return Bottom == std::numeric_limits<int>::max(); }
    // The runs within [Top, Bottom), none overlapping; the span itself when
    // there is one run.
    std::vector<std::pair<int, int>> Runs() const {
        if (Empty())
            return {};
        if (FRuns.empty())
            return {{Top, Bottom}};
        return FRuns;
    }
    void Add(int top, int bottom) {
        if (bottom <= top || All())
            return;
        if (Empty()) {
            Top = top;
            Bottom = bottom;
            FRuns.clear();
            return;
        }
        if (FRuns.empty())
            FRuns.push_back({Top, Bottom});
        FRuns.push_back({top, bottom});
        std::sort(FRuns.begin(), FRuns.end());
        // Runs closer than this are one: each run costs a few rows around it.
        constexpr int kJoin = 64;
        std::vector<std::pair<int, int>> joined;
        for (const auto& run : FRuns) {
            if (!joined.empty() && run.first <= joined.back().second + kJoin)
                joined.back().second = std::max(joined.back().second, run.second);
            else
                joined.push_back(run);
        }
        FRuns = std::move(joined);
        Top = FRuns.front().first;
        Bottom = FRuns.back().second;
    }

private:
    std::vector<std::pair<int, int>> FRuns;
};

struct TSourceImage {
    TSourceImage() = default;
    TSourceImage(const std::uint8_t* pixels, int width, int height, std::ptrdiff_t stride,
                 TPixelLayout layout = TPixelLayout::Bgr0, TChangedRows changed = {})
        : Pixels(pixels), Width(width), Height(height), Stride(stride), Layout(layout),
          Changed(changed) {}

    const std::uint8_t* Pixels = nullptr; // the top row
    int Width = 0;
    int Height = 0;
    std::ptrdiff_t Stride = 0; // bytes from one row to the one below it
    TPixelLayout Layout = TPixelLayout::Bgr0;
    TChangedRows Changed;

    bool IsValid() const { return Pixels != nullptr && Width > 0 && Height > 0 && Stride != 0; }
};

} // namespace vardocle
