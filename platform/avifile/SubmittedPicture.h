#pragma once
// A copy of the 4:2:0 picture last handed to the H.264 encoder, kept up to
// date macroblock by macroblock. When a picture comes without word of what
// changed in it (a whole grab taken as a safety net, a desktop that sends no
// damage), comparing with the copy tells exactly which macroblocks are as
// they were, so that they are kept rather than coded again, and the step
// follows what really changed.
#include <cstdint>
#include <vector>

namespace vardocle {

class TSubmittedPicture {
public:
    // Forgets the copy: the next picture is compared with nothing.
    void Reset(int width, int height);
    bool Held() const { return FHeld; }

    // Sets `constant` in `map` (one byte a macroblock, row by row) for every
    // macroblock whose pixels equal the copy's, 0 for the others.
    void MarkSame(const std::uint8_t* const planes[3], const int strides[3], std::uint8_t constant,
                  std::vector<std::uint8_t>& map) const;
    // Takes the macroblocks of the picture marked changed (not `constant`) in
    // `map` into the copy; all of them when nothing is held yet.
    void Keep(const std::uint8_t* const planes[3], const int strides[3], std::uint8_t constant,
              const std::vector<std::uint8_t>& map);

private:
    // Plane `plane`'s rectangle of macroblock (column, row): its first pixel
    // and its size, cut at the picture's edge.
    struct TBlock {
        int X = 0;
        int Y = 0;
        int Width = 0;
        int Height = 0;
    };
    TBlock Block(int plane, int column, int row) const;
    bool Same(const std::uint8_t* const planes[3], const int strides[3], int column, int row) const;
    // Copies `columns` macroblocks of row `row` from `column` on.
    void Copy(const std::uint8_t* const planes[3], const int strides[3], int column, int row,
              int columns);

    int FWidth = 0;
    int FHeight = 0;
    int FColumns = 0;
    int FRows = 0;
    bool FHeld = false;
    std::vector<std::uint8_t> FPlanes[3];
};

} // namespace vardocle
