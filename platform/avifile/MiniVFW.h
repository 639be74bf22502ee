#pragma once
// The record layouts and constants of the AVIFile-shaped layer: what a writer
// hands to the file and compressor layer, laid out as the classic structures
// so that sizes and offsets match what callers compute.
#include <cstdint>

namespace vardocle {

constexpr std::uint32_t MakeFourCC(char C0, char C1, char C2, char C3) {
    return static_cast<std::uint32_t>(static_cast<std::uint8_t>(C0)) |
           (static_cast<std::uint32_t>(static_cast<std::uint8_t>(C1)) << 8) |
           (static_cast<std::uint32_t>(static_cast<std::uint8_t>(C2)) << 16) |
           (static_cast<std::uint32_t>(static_cast<std::uint8_t>(C3)) << 24);
}

inline constexpr std::uint32_t streamtypeVIDEO = MakeFourCC('v', 'i', 'd', 's');
inline constexpr std::uint32_t streamtypeAUDIO = MakeFourCC('a', 'u', 'd', 's');

// The key-frame flag of a written sample.
inline constexpr std::uint32_t AVIIF_KEYFRAME = 0x10;

// Open modes of AviFileOpen.
inline constexpr std::uint32_t OF_READ = 0x0000;
inline constexpr std::uint32_t OF_WRITE = 0x0001;
inline constexpr std::uint32_t OF_READWRITE = 0x0002;
inline constexpr std::uint32_t OF_SHARE_EXCLUSIVE = 0x0010;
inline constexpr std::uint32_t OF_CREATE = 0x1000;

// Results: 0 is success, anything else a failure (the message is kept by the
// object that failed).
using HRESULT = std::int32_t;
inline constexpr HRESULT AVIERR_OK = 0;
inline constexpr HRESULT AVIERR_ERROR = -1;

struct TRect {
    std::int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
};

#pragma pack(push, 1)
struct BITMAPINFOHEADER {
    std::uint32_t biSize;
    std::int32_t biWidth;
    std::int32_t biHeight;
    std::uint16_t biPlanes;
    std::uint16_t biBitCount;
    std::uint32_t biCompression;
    std::uint32_t biSizeImage;
    std::int32_t biXPelsPerMeter;
    std::int32_t biYPelsPerMeter;
    std::uint32_t biClrUsed;
    std::uint32_t biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

struct WAVEFORMATEX {
    std::uint16_t wFormatTag;
    std::uint16_t nChannels;
    std::uint32_t nSamplesPerSec;
    std::uint32_t nAvgBytesPerSec;
    std::uint16_t nBlockAlign;
    std::uint16_t wBitsPerSample;
    std::uint16_t cbSize;
};
static_assert(sizeof(WAVEFORMATEX) == 18);
#pragma pack(pop)

inline constexpr std::uint16_t WAVE_FORMAT_PCM = 1;

struct AVISTREAMINFOA {
    std::uint32_t fccType;
    std::uint32_t fccHandler;
    std::uint32_t dwFlags;
    std::uint32_t dwCaps;
    std::uint16_t wPriority;
    std::uint16_t wLanguage;
    std::uint32_t dwScale;
    std::uint32_t dwRate;
    std::uint32_t dwStart;
    std::uint32_t dwLength;
    std::uint32_t dwInitialFrames;
    std::uint32_t dwSuggestedBufferSize;
    std::uint32_t dwQuality;
    std::uint32_t dwSampleSize;
    TRect rcFrame;
    std::uint32_t dwEditCount;
    std::uint32_t dwFormatChangeCount;
    char szName[64];
};
static_assert(sizeof(AVISTREAMINFOA) == 140);

struct AVICOMPRESSOPTIONS {
    std::uint32_t fccType;
    std::uint32_t fccHandler;
    std::uint32_t dwKeyFrameEvery;
    std::uint32_t dwQuality;
    std::uint32_t dwBytesPerSecond;
    std::uint32_t dwFlags;
    std::uint32_t dwInterleaveEvery;
};

} // namespace vardocle
