#pragma once
// The compressor registry. A writer asks for a compressor by four-character
// code; the platform's own "IV41" request resolves to the configured real
// codec, and the file records that codec's own code so that players know it.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vardocle {

enum class TCodecKind { H264, Mjpeg, Lossless, Raw };

struct TCodecDescription {
    TCodecKind Kind;
    std::string_view Name;    // as chosen on the command line or in the settings
    std::string_view Encoder; // the libavcodec encoder; empty for uncompressed frames
    std::uint32_t FourCC;     // the code the file carries
};

const TCodecDescription& DescribeCodec(TCodecKind kind);
std::optional<TCodecKind> CodecFromName(std::string_view name);

// The codec that "IV41" stands for in this process (H.264 unless changed).
void SetConfiguredCodec(TCodecKind kind);
TCodecKind ConfiguredCodec();

// The codec a request resolves to; none for a code nobody here can compress.
std::optional<TCodecKind> ResolveCompressor(std::uint32_t fccHandler);

// The picture size a codec records for a requested one. H.264 as every
// player and hardware decoder takes it has its colour at half resolution
// (4:2:0), which needs even sides, and its cropping can only take whole
// colour samples off: an odd side is recorded one pixel larger. The other
// codecs record any size.
struct TPictureSize {
    int Width = 0;
    int Height = 0;
    bool operator==(const TPictureSize&) const = default;
};
TPictureSize RecordedSize(TCodecKind kind, TPictureSize requested);

// The quality the recorder asks its compressor for.
inline constexpr std::uint32_t kRecordingQuality = 7500;
// libx264's constant rate factor for a quality setting (kRecordingQuality → 23,
// x264's own default).
int H264RateFactor(std::uint32_t quality);

// "h264, mjpeg, lossless, raw" for messages.
std::string CodecNames();

} // namespace vardocle
