#pragma once
// Records and constants of the imaging object layer: rectangles and points,
// status codes, and the base every wrapper object derives from.
#include <cstdint>

namespace vardocle {

// Status of an imaging operation; 0 is success.
enum TStatus : std::int32_t {
    Ok = 0,
    GenericError = 1,
    InvalidParameter = 2,
    OutOfMemory = 3,
    ObjectBusy = 4,
    InsufficientBuffer = 5,
    NotImplemented = 6,
    Win32Error = 7,
    WrongState = 8,
    Aborted = 9,
    FileNotFound = 10,
    ValueOverflow = 11,
    AccessDenied = 12,
    UnknownImageFormat = 13,
    FontFamilyNotFound = 14,
    FontStyleNotFound = 15,
    NotTrueTypeFont = 16,
    UnsupportedGdiplusVersion = 17,
    GdiplusNotInitialized = 18,
    PropertyNotFound = 19,
    PropertyNotSupported = 20,
};

// Colours are 32-bit ARGB with alpha in the top byte.
using ARGB = std::uint32_t;

struct TGPRect {
    std::int32_t X = 0;
    std::int32_t Y = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    friend bool operator==(const TGPRect&, const TGPRect&) = default;
};

struct TGPRectF {
    float X = 0;
    float Y = 0;
    float Width = 0;
    float Height = 0;
    friend bool operator==(const TGPRectF&, const TGPRectF&) = default;
};

struct TGPPointF {
    float X = 0;
    float Y = 0;
};

// Integer point, as the stretch drawing takes its target size.
struct TPoint {
    std::int32_t X = 0;
    std::int32_t Y = 0;
};

inline TGPRect MakeRect(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) {
    return {x, y, width, height};
}
inline TGPRectF MakeRectF(float x, float y, float width, float height) {
    return {x, y, width, height};
}
inline TGPPointF MakePointF(float x, float y) {
    return {x, y};
}

// String and line alignment.
enum TStringAlignment : std::int32_t {
    StringAlignmentNear = 0,
    StringAlignmentCenter = 1,
    StringAlignmentFar = 2,
};

enum TInterpolationMode : std::int32_t {
    InterpolationModeInvalid = -1,
    InterpolationModeDefault = 0,
    InterpolationModeLowQuality = 1,
    InterpolationModeHighQuality = 2,
    InterpolationModeBilinear = 3,
    InterpolationModeBicubic = 4,
    InterpolationModeNearestNeighbor = 5,
    InterpolationModeHighQualityBilinear = 6,
    InterpolationModeHighQualityBicubic = 7,
};

enum TPixelOffsetMode : std::int32_t {
    PixelOffsetModeInvalid = -1,
    PixelOffsetModeDefault = 0,
    PixelOffsetModeHighSpeed = 1,
    PixelOffsetModeHighQuality = 2,
    PixelOffsetModeNone = 3,
    PixelOffsetModeHalf = 4,
};

enum TUnit : std::int32_t {
    UnitWorld = 0,
    UnitDisplay = 1,
    UnitPixel = 2,
    UnitPoint = 3,
    UnitInch = 4,
    UnitDocument = 5,
    UnitMillimeter = 6,
};

// Font style bits.
enum : std::int32_t {
    FontStyleRegular = 0,
    FontStyleBold = 1,
    FontStyleItalic = 2,
    FontStyleUnderline = 4,
    FontStyleStrikeout = 8,
};

using TGPPixelFormat = std::int32_t;
inline constexpr TGPPixelFormat PixelFormat32bppRGB = 0x00022009;
inline constexpr TGPPixelFormat PixelFormat32bppARGB = 0x0026200A;
inline constexpr TGPPixelFormat PixelFormat32bppPARGB = 0x000E200B;

// Every wrapper keeps the status of its last failing operation: a success
// never overwrites an earlier failure, so a caller can look once after a
// series of calls.
class TGdiplusBase {
public:
    virtual ~TGdiplusBase() = default;
    TGdiplusBase(const TGdiplusBase&) = delete;
    TGdiplusBase& operator=(const TGdiplusBase&) = delete;

    // The stored status; reading it resets it to Ok.
    TStatus GetLastStatus() {
        TStatus status = FLastResult;
        FLastResult = Ok;
        return status;
    }

protected:
    TGdiplusBase() = default;
    TStatus SetStatus(TStatus status) {
        if (status != Ok)
            FLastResult = status;
        return status;
    }

private:
    TStatus FLastResult = Ok;
};

} // namespace vardocle
