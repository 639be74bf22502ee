#pragma once
// One pass of scaling and pixel conversion from a source picture into a
// destination format, with the conversion context and buffers kept between
// frames. The screen's 32-bit pixels bound for the 4:2:0 planes the encoders
// take are converted first and scaled as planes, several times faster than
// the general scaler's one pass and as sharp on text; every other pair of
// formats goes through that one pass.
#include "platform/avifile/SourceImage.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

struct AVFrame;
struct SwsContext;

namespace vardocle {

// A scaled picture in the planes the scaler keeps until its next call, and
// the parts of it (in its own coordinates) that differ from the picture the
// call before gave.
struct TScaledPicture {
    const std::uint8_t* Planes[3] = {};
    int Strides[3] = {};
    TChangedRows Changed;
};

class TImageScaler {
public:
    TImageScaler() = default;
    ~TImageScaler();
    TImageScaler(const TImageScaler&) = delete;
    TImageScaler& operator=(const TImageScaler&) = delete;

    // Scales the whole source into planes of the given libav pixel format
    // (an AVPixelFormat value). False when the conversion is impossible.
    // Where the source tells which rows changed since the picture before it,
    // the screen's pixels bound for 4:2:0 planes are converted and scaled
    // again only there, the rest kept from before: the same planes as a
    // whole pass would give, at a fraction of its cost.
    bool Scale(const TSourceImage& source, int width, int height, int pixelFormat,
               std::uint8_t* const planes[], const int strides[]);

    // The same into the scaler's own planes, without copying them out; tells
    // which parts of them changed.
    bool ScaleKept(const TSourceImage& source, int width, int height, int pixelFormat,
                   TScaledPicture& picture);

    // Scales into a bottom-up 24-bit bitmap whose rows are padded to 4 bytes.
    bool ScaleToBottomUpBgr24(const TSourceImage& source, int width, int height,
                              std::uint8_t* bits);

private:
    // The screen's own pixels to the kept 4:2:0 planes (limited or full
    // range); `changed` gets the parts of them that changed.
    bool ScaleToYuv420(const TSourceImage& source, int width, int height, bool fullRange,
                       TChangedRows& changed);
    // One pass of the general scaler over the whole picture.
    bool ScaleWhole(const TSourceImage& source, int width, int height, int pixelFormat,
                    std::uint8_t* const planes[], const int strides[]);

    // Scales the output area `area` of the kept planes again from the
    // converted screen; adds the part that changed to `changed` (all of
    // it for a whole pass).
    bool ScaleRows(const TChangedArea& area, int format, TChangedRows& changed);
    // Makes the kept planes for this source and output; false when out of memory.
    bool KeepPlanes(const TSourceImage& source, int width, int height, int format);

    struct TFrameDeleter {
        void operator()(AVFrame* frame) const;
    };
    using TFrame = std::unique_ptr<AVFrame, TFrameDeleter>;

    SwsContext* FContext = nullptr;
    SwsContext* FPlanarContext = nullptr;
    std::array<SwsContext*, 8> FBandContexts{}; // by band size
    std::vector<std::uint8_t> FBand;            // the rows one band is scaled into
    // The whole screen's planes and their scaled form, kept between frames
    // so that a picture changed in a few rows costs only those rows.
    TFrame FConverted;
    TFrame FScaled;
    bool FKeptValid = false;
};

} // namespace vardocle
