#pragma once
// Seam stretching: draws one frame of a strip picture at a target size by
// stretching only a seam of one or two columns (rows) on each axis and
// copying everything else pixel for pixel.
#include "skin/GDIPAPI.h"

#include <cstdint>
#include <vector>

namespace vardocle {

class TGPBitmap;
class TGPGraphics;

enum THorzStretchType : std::uint8_t {
    hstNone = 0,
    hstAll = 1,
    hstLeft = 2,
    hstMiddle = 3,
    hstRight = 4,
    hstCustom = 5,
};

enum TVertStretchType : std::uint8_t {
    vstNone = 0,
    vstAll = 1,
    vstTop = 2,
    vstCenter = 3,
    vstBottom = 4,
    vstCustom = 5,
};

// One draw: a source rectangle scaled onto a destination rectangle.
struct TStretchDraw {
    TGPRect Source;
    TGPRect Dest;
    friend bool operator==(const TStretchDraw&, const TStretchDraw&) = default;
};

// The draws that make up one frame, in the order they are made. With both
// types None the frame goes straight to the target (Direct); otherwise the
// horizontal pass fills a W x h intermediate surface from the picture and the
// vertical pass copies that surface onto the target.
struct TStretchPlan {
    std::vector<TStretchDraw> Direct;
    std::vector<TStretchDraw> Horizontal;
    std::vector<TStretchDraw> Vertical;
    bool UsesIntermediate = false;
};

// frameLeft is the picture column where the frame starts (frame index times
// frame width); a the frame width, h the picture height, W x H the target.
std::vector<TStretchDraw> HorzStretchDraws(std::int32_t frameLeft, std::int32_t a, std::int32_t h,
                                           std::int32_t W, THorzStretchType horz);
std::vector<TStretchDraw> VertStretchDraws(std::int32_t h, std::int32_t W, std::int32_t H,
                                           TVertStretchType vert);
TStretchPlan PlanStretchedFrame(std::int32_t pictureHeight, TPoint size, std::int32_t frameIndex,
                                std::int32_t frameWidth, THorzStretchType horz,
                                TVertStretchType vert);

// Draws the frame into target, starting at the target's origin. Draws the
// imaging backend refuses are skipped; nothing is reported.
void DrawStretchedFrame(TGPBitmap* picture, TGPGraphics* target, TPoint size,
                        std::int32_t frameIndex, std::int32_t frameWidth, THorzStretchType horz,
                        TVertStretchType vert);

} // namespace vardocle
