#include "platform/avifile/CompressedStream.h"

#include "platform/avifile/AvError.h"
#include "platform/avifile/AviMuxer.h"
#include "platform/avifile/H264StepChoice.h"
#include "platform/avifile/StreamFormats.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/opt.h>
}

namespace vardocle {

namespace {

int JpegScaleForQuality(std::uint32_t quality) {
    const int scale = 31 - static_cast<int>(quality * 27 / 7500);
    return std::clamp(scale, 2, 31);
}

AVPixelFormat EncoderFormat(TCodecKind codec, const AVCodec* encoder) {
    switch (codec) {
    case TCodecKind::H264:
        // The only H.264 colour layout that every player and hardware decoder
        // takes; the size is made even for it (RecordedSize).
        return AV_PIX_FMT_YUV420P;
    case TCodecKind::Mjpeg:
        return AV_PIX_FMT_YUVJ420P;
    default:
        break;
    }
    // The lossless codec keeps the screen's own pixels when it can.
    for (const AVPixelFormat* format = encoder->pix_fmts; format && *format != AV_PIX_FMT_NONE;
         ++format)
        if (*format == AV_PIX_FMT_BGR0)
            return *format;
    return encoder->pix_fmts ? encoder->pix_fmts[0] : AV_PIX_FMT_YUV420P;
}

} // namespace

TCompressedStream::TCompressedStream(std::shared_ptr<TAviMuxer> muxer, int slot,
                                     const AVISTREAMINFOA& info, TCodecKind codec,
                                     const AVICOMPRESSOPTIONS& options)
    : FMuxer(std::move(muxer)), FSlot(slot), FInfo(info), FCodec(codec), FOptions(options) {}

TCompressedStream::~TCompressedStream() {
    if (const char* path = std::getenv("VARDOCLE_MAP_COUNT"); path && FH264) {
        // How many unchanged macroblocks the compressor could leave alone,
        // for the benchmark that measures it.
        std::ofstream(path, std::ios::app)
            << FH264->MapCount().Flagged << ' ' << FH264->MapCount().Kept << '\n';
    }
    Finish();
    av_frame_free(&FFrame);
    avcodec_free_context(&FEncoder);
}

HRESULT TCompressedStream::Finish() {
    // The H.264 compressor holds nothing back.
    if (FH264) {
        FFinished = true;
        return AVIERR_OK;
    }
    // Frames the encoder still holds go to the file before it is completed.
    if (!FEncoder || FFinished || FMuxer->Finished())
        return AVIERR_OK;
    FFinished = true;
    const int sent = avcodec_send_frame(FEncoder, nullptr);
    if (sent < 0)
        return Fail("The compressor cannot be finished: " + AvErrorText(sent));
    return Drain();
}

HRESULT TCompressedStream::PadTo(std::int32_t length) {
    if (FNextStart == 0 || length - 1 < FNextStart)
        return AVIERR_OK;
    const std::int64_t last = length - 1;
    // The last picture once more at the last position, so that the end is a
    // real frame that every player reaches; the empty chunks the muxer puts
    // before it repeat the picture in between. Unchanged, it compresses to
    // almost nothing.
    if (FCodec == TCodecKind::Raw && !FBitmap.empty())
        return WritePacket(last, FBitmap.data(), static_cast<std::int32_t>(FBitmap.size()));
    if ((FEncoder || FH264) && !FFinished)
        return EncodeLastAgain(last);
    // Without a picture to repeat, an empty chunk keeps the length.
    return FillEmptyTo(length);
}

HRESULT TCompressedStream::FillEmptyTo(std::int32_t length) {
    // An empty chunk at the last position; the muxer puts empty chunks of
    // its own in the gap before it.
    if (FNextStart == 0 || length - 1 < FNextStart)
        return AVIERR_OK;
    std::string error;
    if (!WriteBytes(*FMuxer, FSlot, length - 1, 1, nullptr, 0, false, error))
        return Fail(error);
    FNextStart = length;
    return AVIERR_OK;
}

HRESULT TCompressedStream::RefineLast(std::int32_t start) {
    // A picture already at the finest step would come out the same: the
    // slot is left to be a repeat, as for the other codecs.
    if (FCodec != TCodecKind::H264 || !FH264 || !FH264->WouldRefine() || FFinished ||
        FNextStart == 0)
        return AVIERR_OK;
    if (const HRESULT result = CheckPosition(start); result != AVIERR_OK)
        return result;
    return EncodeLastAgain(start);
}

HRESULT TCompressedStream::EncodeLastAgain(std::int64_t start) {
    if (FH264)
        return EncodeH264(start, false, TChangedRows::Nothing());
    FFrame->pts = start;
    FFrame->pict_type = AV_PICTURE_TYPE_NONE;
    const int sent = avcodec_send_frame(FEncoder, FFrame);
    if (sent < 0)
        return Fail("The frame cannot be compressed: " + AvErrorText(sent));
    FNextStart = start + 1;
    return Drain();
}

HRESULT TCompressedStream::Info(AVISTREAMINFOA& info) const {
    info = FInfo;
    info.fccHandler = DescribeCodec(FCodec).FourCC;
    return AVIERR_OK;
}

HRESULT TCompressedStream::SetFormat(std::int32_t, const void* format, std::int32_t size) {
    if (FWidth)
        return Fail("The stream's format is already set");
    BITMAPINFOHEADER header;
    if (!ReadBitmapFormat(format, size, header))
        return Fail("Only 24-bit frames can be compressed");
    FWidth = header.biWidth;
    FHeight = std::abs(header.biHeight);
    FRowBytes = ((FWidth * 24 + 31) & ~31) / 8;
    // The frames written keep the requested size; the encoder's picture,
    // and with it the file's headers, is the size the codec records.
    const TPictureSize recorded = RecordedSize(FCodec, {FWidth, FHeight});
    FEncodedWidth = recorded.Width;
    FEncodedHeight = recorded.Height;
    AVCodecParameters* parameters = FMuxer->Parameters(FSlot);
    if (FCodec == TCodecKind::Raw) {
        DescribeRawVideo(parameters, FWidth, FHeight);
        return AVIERR_OK;
    }
    const HRESULT result = OpenEncoder();
    if (result != AVIERR_OK)
        FWidth = FHeight = 0;
    return result;
}

HRESULT TCompressedStream::OpenH264() {
    const AVRational timeBase = FMuxer->TimeBase(FSlot);
    // A key frame of a screen of text costs as much as a minute of typing
    // in it, so they come seldom: every minute, or every 120 slots at the
    // higher rates. Seeking to any moment decodes at most that many pictures
    // after the key frame, well under half a second for a screen's pictures;
    // a recording (and what a repair keeps of one) always starts with one.
    constexpr int kKeyFrameSeconds = 60;
    constexpr int kKeyFrameSlots = 120;
    const int rate = std::max(1, timeBase.den / std::max(1, timeBase.num));
    FKeyFrameEvery = FOptions.dwKeyFrameEvery ? static_cast<int>(FOptions.dwKeyFrameEvery)
                                              : std::min(kKeyFrameSeconds * rate, kKeyFrameSlots);
    TH264Settings settings;
    settings.Width = FEncodedWidth;
    settings.Height = FEncodedHeight;
    settings.TimeBaseNum = timeBase.num;
    settings.TimeBaseDen = timeBase.den;
    const int rateFactor = H264RateFactor(FOptions.dwQuality);
    settings.CoarsestStep =
        CoarsestStepFor(rateFactor, static_cast<double>(timeBase.den) / std::max(1, timeBase.num));
    settings.FinestStep = std::min(6, settings.CoarsestStep);
    settings.KeyFrameEvery = FKeyFrameEvery;
    FH264 = std::make_unique<TH264Encoder>();
    std::string error;
    if (!FH264->Open(settings, error)) {
        FH264.reset();
        return Fail(error);
    }
    AVCodecParameters* parameters = FMuxer->Parameters(FSlot);
    parameters->codec_type = AVMEDIA_TYPE_VIDEO;
    parameters->codec_id = AV_CODEC_ID_H264;
    parameters->codec_tag = DescribeCodec(FCodec).FourCC;
    parameters->format = AV_PIX_FMT_YUV420P;
    parameters->width = FEncodedWidth;
    parameters->height = FEncodedHeight;
    parameters->color_range = AVCOL_RANGE_MPEG;
    parameters->color_space = AVCOL_SPC_SMPTE170M;
    return AVIERR_OK;
}

HRESULT TCompressedStream::OpenEncoder() {
    if (FCodec == TCodecKind::H264)
        return OpenH264();
    const TCodecDescription& codec = DescribeCodec(FCodec);
    const std::string name(codec.Encoder);
    const AVCodec* encoder = avcodec_find_encoder_by_name(name.c_str());
    if (!encoder)
        return Fail("The compressor \"" + name + "\" is not available");
    FEncoder = avcodec_alloc_context3(encoder);
    FFrame = av_frame_alloc();
    if (!FEncoder || !FFrame)
        return Fail("Out of memory");
    const AVRational timeBase = FMuxer->TimeBase(FSlot);
    FEncoder->width = FEncodedWidth;
    FEncoder->height = FEncodedHeight;
    FEncoder->time_base = timeBase;
    FEncoder->framerate = av_inv_q(timeBase);
    FEncoder->pix_fmt = EncoderFormat(FCodec, encoder);
    FEncoder->max_b_frames = 0;
    // At 1-5 frames a second a frame has a whole slot to be compressed in, so
    // more threads only add hand-offs; and threads hold frames inside the
    // encoder, which a killed recording would lose.
    FEncoder->thread_count = 1;
    FEncoder->colorspace = AVCOL_SPC_SMPTE170M;
    AVDictionary* settings = nullptr;
    switch (FCodec) {
    case TCodecKind::Mjpeg: {
        const int scale = JpegScaleForQuality(FOptions.dwQuality);
        FEncoder->flags |= AV_CODEC_FLAG_QSCALE;
        FEncoder->global_quality = FF_QP2LAMBDA * scale;
        FEncoder->qmin = FEncoder->qmax = scale;
        FEncoder->color_range = AVCOL_RANGE_JPEG;
        break;
    }
    default:
        FEncoder->gop_size = 1; // every frame stands alone, as the key-frame flag asks
        break;
    }
    const int opened = avcodec_open2(FEncoder, encoder, &settings);
    av_dict_free(&settings);
    if (opened < 0)
        return Fail("The compressor \"" + name + "\" cannot be used: " + AvErrorText(opened));
    if (!NewFrameBuffer())
        return Fail("Out of memory");
    AVCodecParameters* parameters = FMuxer->Parameters(FSlot);
    avcodec_parameters_from_context(parameters, FEncoder);
    parameters->codec_tag = codec.FourCC;
    return AVIERR_OK;
}

HRESULT TCompressedStream::CheckPosition(std::int64_t start) {
    if (!FWidth)
        return Fail("The stream has no format");
    if (start < FNextStart)
        return Fail("Frames can only be appended");
    return AVIERR_OK;
}

HRESULT TCompressedStream::Write(std::int32_t start, std::int32_t samples, const void* buffer,
                                 std::int32_t bytes, std::uint32_t) {
    if (const HRESULT result = CheckPosition(start); result != AVIERR_OK)
        return result;
    if (samples != 1 || bytes < FRowBytes * FHeight)
        return Fail("One whole 24-bit frame is written at a time");
    const auto* bits = static_cast<const std::uint8_t*>(buffer);
    if (FCodec == TCodecKind::Raw)
        return WritePacket(start, bits, FRowBytes * FHeight);
    TSourceImage image;
    image.Pixels = bits + static_cast<std::ptrdiff_t>(FHeight - 1) * FRowBytes;
    image.Width = FWidth;
    image.Height = FHeight;
    image.Stride = -FRowBytes;
    image.Layout = TPixelLayout::Bgr24;
    return Encode(start, image);
}

HRESULT TCompressedStream::WriteImage(std::int32_t start, const TSourceImage& image,
                                      std::uint32_t) {
    if (const HRESULT result = CheckPosition(start); result != AVIERR_OK)
        return result;
    if (!image.IsValid())
        return Fail("Invalid picture");
    if (FCodec == TCodecKind::Raw) {
        FBitmap.resize(static_cast<std::size_t>(FRowBytes) * FHeight);
        if (!FScaler.ScaleToBottomUpBgr24(image, FWidth, FHeight, FBitmap.data()))
            return Fail("The picture cannot be converted");
        return WritePacket(start, FBitmap.data(), static_cast<std::int32_t>(FBitmap.size()));
    }
    return Encode(start, image);
}

HRESULT TCompressedStream::WritePacket(std::int64_t start, const std::uint8_t* data,
                                       std::int32_t bytes) {
    std::string error;
    if (!WriteBytes(*FMuxer, FSlot, start, 1, data, bytes, true, error))
        return Fail(error);
    FNextStart = start + 1;
    return AVIERR_OK;
}

bool TCompressedStream::NewFrameBuffer() {
    av_frame_unref(FFrame);
    FFrame->format = FEncoder->pix_fmt;
    FFrame->width = FEncodedWidth;
    FFrame->height = FEncodedHeight;
    return av_frame_get_buffer(FFrame, 0) >= 0;
}

HRESULT TCompressedStream::Encode(std::int64_t start, const TSourceImage& image) {
    if (FH264) {
        if (!FScaler.ScaleKept(image, FEncodedWidth, FEncodedHeight, AV_PIX_FMT_YUV420P, FScaled))
            return Fail("The picture cannot be converted");
        // Slots without a change are not encoded, so a key frame every so
        // many encoded frames could be minutes apart: it is asked for by
        // position, and only once the picture changed since the last one
        // (a still screen would only repeat it at full cost).
        FChangedSinceKey = FChangedSinceKey || !FScaled.Changed.Empty();
        const bool key =
            FLastKeyFrame < 0 || (start - FLastKeyFrame >= FKeyFrameEvery && FChangedSinceKey);
        return EncodeH264(start, key, FScaled.Changed);
    }
    // An encoder working on frames in threads may still hold the last one. The
    // scaler writes every pixel anew, so a fresh buffer does; making the held
    // one writable would copy a whole picture first.
    if (!av_frame_is_writable(FFrame) && !NewFrameBuffer())
        return Fail("Out of memory");
    if (!FScaler.Scale(image, FEncodedWidth, FEncodedHeight, FEncoder->pix_fmt, FFrame->data,
                       FFrame->linesize))
        return Fail("The picture cannot be converted");
    FFrame->pts = start;
    // Slots without a change are not encoded, so a key frame every so many
    // encoded frames could be minutes apart: it is asked for by position.
    if (FKeyFrameEvery > 0)
        FFrame->pict_type = FLastKeyFrame < 0 || start - FLastKeyFrame >= FKeyFrameEvery
                                ? AV_PICTURE_TYPE_I
                                : AV_PICTURE_TYPE_NONE;
    const int sent = avcodec_send_frame(FEncoder, FFrame);
    if (sent < 0)
        return Fail("The frame cannot be compressed: " + AvErrorText(sent));
    FNextStart = start + 1;
    return Drain();
}

HRESULT TCompressedStream::EncodeH264(std::int64_t start, bool key, const TChangedRows& changed) {
    TH264Packet coded;
    std::string error;
    if (!FH264->Encode(FScaled.Planes, FScaled.Strides, start, key, changed, coded, error))
        return Fail(error);
    FNextStart = start + 1;
    AVPacket* packet = av_packet_alloc();
    if (!packet || av_new_packet(packet, coded.Size) < 0) {
        av_packet_free(&packet);
        return Fail("Out of memory");
    }
    std::memcpy(packet->data, coded.Data, static_cast<std::size_t>(coded.Size));
    packet->pts = packet->dts = coded.Pts;
    packet->duration = 1;
    if (coded.Key) {
        packet->flags |= AV_PKT_FLAG_KEY;
        FLastKeyFrame = coded.Pts;
        FChangedSinceKey = false;
    }
    const bool written = FMuxer->WritePacket(FSlot, packet, error);
    av_packet_free(&packet);
    return written ? AVIERR_OK : Fail(error);
}

HRESULT TCompressedStream::Drain() {
    AVPacket* packet = av_packet_alloc();
    if (!packet)
        return Fail("Out of memory");
    HRESULT result = AVIERR_OK;
    for (;;) {
        const int received = avcodec_receive_packet(FEncoder, packet);
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
            break;
        if (received < 0) {
            result = Fail("The frame cannot be compressed: " + AvErrorText(received));
            break;
        }
        packet->duration = 1;
        if (packet->flags & AV_PKT_FLAG_KEY)
            FLastKeyFrame = packet->pts;
        std::string error;
        if (!FMuxer->WritePacket(FSlot, packet, error)) {
            result = Fail(error);
            break;
        }
    }
    av_packet_free(&packet);
    return result;
}

} // namespace vardocle
