#pragma once
// A compressing stream over a video stream of a file being written: frames
// (24-bit bitmaps or source pictures) are scaled and converted in one pass
// into the codec's own format, encoded, and written with their positions as
// times, so skipped positions play as repeats of the frame before.
#include "platform/avifile/AviFile.h"
#include "platform/avifile/Compressors.h"
#include "platform/avifile/H264Encoder.h"
#include "platform/avifile/ImageScaler.h"

#include <memory>
#include <vector>

struct AVCodecContext;
struct AVFrame;

namespace vardocle {

class TAviMuxer;

class TCompressedStream : public TAviStream {
public:
    TCompressedStream(std::shared_ptr<TAviMuxer> muxer, int slot, const AVISTREAMINFOA& info,
                      TCodecKind codec, const AVICOMPRESSOPTIONS& options);
    ~TCompressedStream() override;

    HRESULT Info(AVISTREAMINFOA& info) const override;
    HRESULT SetFormat(std::int32_t position, const void* format, std::int32_t size) override;
    HRESULT Write(std::int32_t start, std::int32_t samples, const void* buffer, std::int32_t bytes,
                  std::uint32_t flags) override;
    HRESULT WriteImage(std::int32_t start, const TSourceImage& image, std::uint32_t flags) override;
    HRESULT Finish() override;
    HRESULT PadTo(std::int32_t length) override;
    HRESULT RefineLast(std::int32_t start) override;
    HRESULT FillEmptyTo(std::int32_t length) override;

private:
    HRESULT OpenEncoder();
    HRESULT OpenH264();
    // Codes the scaled picture directly with the H.264 compressor, telling it
    // which parts of it changed since the picture before.
    HRESULT EncodeH264(std::int64_t start, bool key, const TChangedRows& changed);
    bool NewFrameBuffer();
    HRESULT Encode(std::int64_t start, const TSourceImage& image);
    HRESULT WritePacket(std::int64_t start, const std::uint8_t* data, std::int32_t bytes);
    HRESULT Drain();
    // The encoder's last picture once more, at `start`.
    HRESULT EncodeLastAgain(std::int64_t start);
    HRESULT CheckPosition(std::int64_t start);

    std::shared_ptr<TAviMuxer> FMuxer;
    int FSlot;
    AVISTREAMINFOA FInfo;
    TCodecKind FCodec;
    AVICOMPRESSOPTIONS FOptions;
    int FWidth = 0;
    int FHeight = 0;
    int FRowBytes = 0;
    int FEncodedWidth = 0; // the picture the encoder gets (RecordedSize)
    int FEncodedHeight = 0;
    std::int64_t FNextStart = 0;
    TImageScaler FScaler;
    std::vector<std::uint8_t> FBitmap; // the raw codec's frame
    AVCodecContext* FEncoder = nullptr;
    AVFrame* FFrame = nullptr;
    std::unique_ptr<TH264Encoder> FH264;
    TScaledPicture FScaled; // the last picture the H.264 compressor got
    bool FFinished = false;
    int FKeyFrameEvery = 0;          // positions between key frames, 0: every frame
    std::int64_t FLastKeyFrame = -1; // position of the last key frame
    bool FChangedSinceKey = false;   // the picture changed since the last key frame
};

} // namespace vardocle
