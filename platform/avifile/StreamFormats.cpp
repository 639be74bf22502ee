#include "platform/avifile/StreamFormats.h"

#include "platform/avifile/AviMuxer.h"

#include <cstdlib>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace vardocle {

bool ReadBitmapFormat(const void* format, std::int32_t size, BITMAPINFOHEADER& header) {
    if (!format || size < static_cast<std::int32_t>(sizeof(BITMAPINFOHEADER)))
        return false;
    std::memcpy(&header, format, sizeof header);
    return header.biBitCount == 24 && header.biCompression == 0 && header.biWidth > 0 &&
           header.biHeight != 0;
}

void DescribeRawVideo(AVCodecParameters* parameters, int width, int height) {
    parameters->codec_type = AVMEDIA_TYPE_VIDEO;
    parameters->codec_id = AV_CODEC_ID_RAWVIDEO;
    parameters->codec_tag = 0;
    parameters->format = AV_PIX_FMT_BGR24;
    parameters->width = width;
    parameters->height = height;
    parameters->bits_per_coded_sample = 24;
}

bool WriteBytes(TAviMuxer& muxer, int slot, std::int64_t start, std::int64_t samples,
                const void* data, std::int32_t bytes, bool keyFrame, std::string& error) {
    AVPacket* packet = av_packet_alloc();
    if (!packet || av_new_packet(packet, bytes) < 0) {
        av_packet_free(&packet);
        error = "Out of memory";
        return false;
    }
    if (bytes > 0)
        std::memcpy(packet->data, data, static_cast<std::size_t>(bytes));
    packet->pts = packet->dts = start;
    packet->duration = samples;
    if (keyFrame)
        packet->flags |= AV_PKT_FLAG_KEY;
    const bool ok = muxer.WritePacket(slot, packet, error);
    av_packet_free(&packet);
    return ok;
}

} // namespace vardocle
