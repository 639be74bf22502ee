#include "platform/avifile/SubmittedPicture.h"

#include <algorithm>
#include <cstring>

namespace vardocle {

namespace {

constexpr int kMacroblock = 16;

// A plane's width or height for the picture's.
int PlaneSize(int plane, int size) {
    return plane == 0 ? size : (size + 1) / 2;
}

} // namespace

void TSubmittedPicture::Reset(int width, int height) {
    FWidth = width;
    FHeight = height;
    FColumns = (width + kMacroblock - 1) / kMacroblock;
    FRows = (height + kMacroblock - 1) / kMacroblock;
    FHeld = false;
    for (int plane = 0; plane < 3; ++plane)
        FPlanes[plane].assign(
            static_cast<std::size_t>(PlaneSize(plane, width)) * PlaneSize(plane, height), 0);
}

TSubmittedPicture::TBlock TSubmittedPicture::Block(int plane, int column, int row) const {
    const int size = plane == 0 ? kMacroblock : kMacroblock / 2;
    const int width = PlaneSize(plane, FWidth);
    const int height = PlaneSize(plane, FHeight);
    TBlock block{column * size, row * size, 0, 0};
    block.Width = std::max(0, std::min(size, width - block.X));
    block.Height = std::max(0, std::min(size, height - block.Y));
    return block;
}

bool TSubmittedPicture::Same(const std::uint8_t* const planes[3], const int strides[3], int column,
                             int row) const {
    for (int plane = 0; plane < 3; ++plane) {
        const TBlock block = Block(plane, column, row);
        const int keptStride = PlaneSize(plane, FWidth);
        for (int y = block.Y; y < block.Y + block.Height; ++y) {
            const std::uint8_t* now =
                planes[plane] + static_cast<std::ptrdiff_t>(y) * strides[plane] + block.X;
            const std::uint8_t* kept =
                FPlanes[plane].data() + static_cast<std::ptrdiff_t>(y) * keptStride + block.X;
            if (std::memcmp(now, kept, static_cast<std::size_t>(block.Width)) != 0)
                return false;
        }
    }
    return true;
}

void TSubmittedPicture::Copy(const std::uint8_t* const planes[3], const int strides[3], int column,
                             int row, int columns) {
    for (int plane = 0; plane < 3; ++plane) {
        TBlock block = Block(plane, column, row);
        const TBlock last = Block(plane, column + columns - 1, row);
        block.Width = last.X + last.Width - block.X;
        const int keptStride = PlaneSize(plane, FWidth);
        for (int y = block.Y; y < block.Y + block.Height; ++y)
            std::memcpy(FPlanes[plane].data() + static_cast<std::ptrdiff_t>(y) * keptStride +
                            block.X,
                        planes[plane] + static_cast<std::ptrdiff_t>(y) * strides[plane] + block.X,
                        static_cast<std::size_t>(block.Width));
    }
}

void TSubmittedPicture::MarkSame(const std::uint8_t* const planes[3], const int strides[3],
                                 std::uint8_t constant, std::vector<std::uint8_t>& map) const {
    map.assign(static_cast<std::size_t>(FColumns) * FRows, 0);
    if (!FHeld)
        return;
    for (int row = 0; row < FRows; ++row)
        for (int column = 0; column < FColumns; ++column)
            if (Same(planes, strides, column, row))
                map[static_cast<std::size_t>(row) * FColumns + column] = constant;
}

void TSubmittedPicture::Keep(const std::uint8_t* const planes[3], const int strides[3],
                             std::uint8_t constant, const std::vector<std::uint8_t>& map) {
    // Runs of changed macroblocks in a row are copied together.
    for (int row = 0; row < FRows; ++row) {
        const std::uint8_t* flags = map.data() + static_cast<std::size_t>(row) * FColumns;
        for (int column = 0; column < FColumns;) {
            int end = column;
            while (end < FColumns && (!FHeld || flags[end] != constant))
                ++end;
            if (end > column)
                Copy(planes, strides, column, row, end - column);
            column = end + 1;
        }
    }
    FHeld = true;
}

} // namespace vardocle
