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
// far apart (a line of text and the cursor) are kept as separate runs, each
// with the columns [Left, Right) that changed in it (every column unless the
// source told).
struct TChangedArea {
    int Top = 0;
    int Bottom = 0;
    int Left = 0;
    int Right = std::numeric_limits<int>::max();
};

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
        std::vector<std::pair<int, int>> runs;
        for (const TChangedArea& area : Areas())
            runs.push_back({area.Top, area.Bottom});
        return runs;
    }
    // The runs with the columns changed in each.
    std::vector<TChangedArea> Areas() const {
        if (Empty())
            return {};
        if (FRuns.empty())
            return {{Top, Bottom, FLeft, FRight}};
        return FRuns;
    }
    // Rows changed across the whole width.
    void Add(int top, int bottom) {
        AddArea(0, top, std::numeric_limits<int>::max(), bottom - top);
    }
    void AddArea(int x, int y, int width, int height) {
        const int top = y;
        const int bottom = y + std::max(0, height);
        const int left = std::max(0, x);
        const int right = width >= std::numeric_limits<int>::max() - x
                              ? std::numeric_limits<int>::max()
                              : std::max(left, x + width);
        if (bottom <= top || right <= left || All())
            return;
        if (Empty()) {
            Top = top;
            Bottom = bottom;
            FLeft = left;
            FRight = right;
            FRuns.clear();
            return;
        }
        if (FRuns.empty())
            FRuns.push_back({Top, Bottom, FLeft, FRight});
        FRuns.push_back({top, bottom, left, right});
        std::sort(FRuns.begin(), FRuns.end(), [](const TChangedArea& a, const TChangedArea& b) {
            return a.Top < b.Top || (a.Top == b.Top && a.Bottom < b.Bottom);
        });
        // Runs closer than this are one: each run costs a few rows around it.
        constexpr int kJoin = 64;
        std::vector<TChangedArea> joined;
        for (const TChangedArea& run : FRuns) {
            if (!joined.empty() && run.Top <= joined.back().Bottom + kJoin) {
                TChangedArea& last = joined.back();
                last.Bottom = std::max(last.Bottom, run.Bottom);
                last.Left = std::min(last.Left, run.Left);
                last.Right = std::max(last.Right, run.Right);
            } else {
                joined.push_back(run);
            }
        }
        FRuns = std::move(joined);
        Top = FRuns.front().Top;
        Bottom = FRuns.back().Bottom;
    }

private:
    // One run's columns, while there is only one.
    int FLeft = 0;
    int FRight = std::numeric_limits<int>::max();
    std::vector<TChangedArea> FRuns;
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
