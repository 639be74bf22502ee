#include "recovery/PlayableContent.h"

#include <memory>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace vardocle {

namespace {

struct TInputClose {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct TPacketFree {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};

} // namespace

TPlayableContent MeasurePlayable(const std::string& FileName) {
    TPlayableContent content;
    AVFormatContext* opened = nullptr;
    if (avformat_open_input(&opened, FileName.c_str(), nullptr, nullptr) < 0)
        return content;
    const std::unique_ptr<AVFormatContext, TInputClose> input(opened);
    const std::unique_ptr<AVPacket, TPacketFree> packet(av_packet_alloc());
    if (!packet)
        return content;
    const int video = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    std::vector<int> blockAlign(input->nb_streams, 0);
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVCodecParameters* parameters = input->streams[i]->codecpar;
        if (parameters->codec_type != AVMEDIA_TYPE_AUDIO)
            continue;
        blockAlign[i] = parameters->block_align > 0 ? parameters->block_align : 1;
        if (content.SoundRate == 0)
            content.SoundRate = parameters->sample_rate;
    }
    content.Readable = true;
    // Damaged files are expected here: what the reader thinks of them is no news.
    while (av_read_frame(input.get(), packet.get()) >= 0) {
        const auto stream = static_cast<std::size_t>(packet->stream_index);
        // A picture cut off by the end plays as damage, if at all.
        if (packet->stream_index == video && packet->size > 0 &&
            (packet->flags & AV_PKT_FLAG_CORRUPT) == 0) {
            const std::int64_t at = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
            if (at != AV_NOPTS_VALUE && at + 1 > content.VideoSlots)
                content.VideoSlots = at + 1;
        } else if (stream < blockAlign.size() && blockAlign[stream] > 0) {
            content.SoundSamples += packet->size / blockAlign[stream];
        }
        av_packet_unref(packet.get());
    }
    return content;
}

} // namespace vardocle
