#pragma once
// The bitmap of one frame: the whole screen as grabbed (with the cursor drawn
// on it) and the output size it is stretched to. The stretch happens where the
// frame is converted, so a compressor can scale and convert in one pass.
#include "platform/avifile/SourceImage.h"

namespace vardocle {

struct TFrameBitmap {
    TSourceImage Screen;
    int Width = 0;  // output width
    int Height = 0; // output height
};

// The depths a frame can be converted to; only the 1-, 4-, 8- and 24-bit ones
// are accepted by the bitmap routines.
enum class TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit };

} // namespace vardocle
