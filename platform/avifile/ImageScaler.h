#pragma once
// One pass of scaling and pixel conversion from a source picture into a
// destination format, with the conversion context kept between frames.
#include "platform/avifile/SourceImage.h"

#include <cstdint>

struct SwsContext;

namespace vardocle {

class TImageScaler {
public:
    TImageScaler() = default;
    ~TImageScaler();
    TImageScaler(const TImageScaler&) = delete;
    TImageScaler& operator=(const TImageScaler&) = delete;

    // Scales the whole source into planes of the given libav pixel format
    // (an AVPixelFormat value). False when the conversion is impossible.
    bool Scale(const TSourceImage& source, int width, int height, int pixelFormat,
               std::uint8_t* const planes[], const int strides[]);

    // Scales into a bottom-up 24-bit bitmap whose rows are padded to 4 bytes.
    bool ScaleToBottomUpBgr24(const TSourceImage& source, int width, int height,
                              std::uint8_t* bits);

private:
    SwsContext* FContext = nullptr;
};

} // namespace vardocle
