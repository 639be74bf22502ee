#include "platform/avifile/AviMuxer.h"

#include "platform/avifile/AvError.h"
#include "platform/avifile/AviFile.h"
#include "platform/base/Errors.h"
#include "platform/base/Paths.h"
#include "platform/base/SafeReplace.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <sys/stat.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace vardocle {

namespace {

// Root may write anywhere; a file without any write permission is still
// treated as protected, as its owner meant it to be.
bool IsReadOnlyFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

// What the ending of a file of so many chunks writes: the index (16 bytes a
// chunk), the large-file index of its last segment (8 a chunk), the lists'
// ends; the header counts are patched in place.
std::int64_t EndingBytes(std::int64_t chunks) {
    return std::int64_t{64} * 1024 + 32 * chunks;
}

// The header with its reserved room for the large-file index.
constexpr std::int64_t kHeaderBytes = std::int64_t{64} * 1024;

} // namespace

std::string AviAppendOutputName(const std::string& path) {
    return path + ".merging";
}

std::shared_ptr<TAviMuxer> TAviMuxer::Create(const std::string& path, std::string& error,
                                             int* errorNumber) {
    auto muxer = std::make_shared<TAviMuxer>();
    muxer->FPath = path;
    muxer->FOutputPath = path;
    muxer->FFlushEachPacket = true;
    if (IsReadOnlyFile(path)) {
        error = CannotCreateFileMessage(path, EACCES);
        if (errorNumber)
            *errorNumber = EACCES;
        return nullptr;
    }
    // The file is created now, so that a name that cannot be written fails at once.
    if (!muxer->OpenOutput(error)) {
        if (errorNumber)
            *errorNumber = muxer->FErrorNumber;
        return nullptr;
    }
    return muxer;
}

std::shared_ptr<TAviMuxer> TAviMuxer::Append(const std::string& path, std::string& error) {
    auto muxer = std::make_shared<TAviMuxer>();
    muxer->FPath = path;
    muxer->FOutputPath = AviAppendOutputName(path);
    muxer->FAppending = true;
    int result = avformat_open_input(&muxer->FInput, path.c_str(), nullptr, nullptr);
    if (result >= 0)
        result = avformat_find_stream_info(muxer->FInput, nullptr);
    if (result < 0) {
        error = "Cannot open file \"" + ExpandFileName(path) + "\". " + AvErrorReason(result);
        return nullptr;
    }
    return muxer;
}

TAviMuxer::~TAviMuxer() {
    CloseOutput();
    if (FInput)
        avformat_close_input(&FInput);
    av_packet_free(&FPendingInput);
    for (auto& slot : FSlots)
        avcodec_parameters_free(&slot.Parameters);
    // An unfinished copy never replaces the old file.
    if (FAppending && !FFinished)
        std::remove(FOutputPath.c_str());
}

void TAviMuxer::CloseOutput() {
    if (!FOutput)
        return;
    if (FReserved) {
        // The context is the output's own; the room kept for the ending goes back.
        if (FOutput->pb)
            avio_flush(FOutput->pb);
        FOutput->pb = nullptr;
        FReserved->ReleaseReserve();
        FReserved.reset();
    } else if (FOutput->pb) {
        avio_closep(&FOutput->pb);
    }
    avformat_free_context(FOutput);
    FOutput = nullptr;
}

int TAviMuxer::AddStream(AVRational timeBase) {
    TSlot slot;
    slot.Parameters = avcodec_parameters_alloc();
    av_reduce(&slot.TimeBase.num, &slot.TimeBase.den, timeBase.num, timeBase.den, 1 << 30);
    FSlots.push_back(slot);
    FLastPts.push_back(-1);
    return static_cast<int>(FSlots.size()) - 1;
}

AVCodecParameters* TAviMuxer::Parameters(int slot) {
    return FSlots[slot].Parameters;
}

bool TAviMuxer::OpenOutput(std::string& error) {
    if (FOutput)
        return true;
    int result = avformat_alloc_output_context2(&FOutput, nullptr, "avi", FOutputPath.c_str());
    if (result >= 0 && FFlushEachPacket) {
        FReserved = TReservedOutput::Create(FOutputPath, error, FErrorNumber);
        if (!FReserved) {
            CloseOutput();
            FFailed = true;
            FError = error;
            return false;
        }
        FOutput->pb = FReserved->Context();
        FOutput->flags |= AVFMT_FLAG_CUSTOM_IO;
    } else if (result >= 0) {
        result = avio_open(&FOutput->pb, FOutputPath.c_str(), AVIO_FLAG_WRITE);
    }
    if (result < 0) {
        FErrorNumber = AvErrorToErrno(result);
        error =
            "Cannot create file \"" + ExpandFileName(FOutputPath) + "\". " + AvErrorReason(result);
        CloseOutput();
        FFailed = true;
        FError = error;
        return false;
    }
    return true;
}

// Lays out the streams and writes the header, once every stream is known:
// with the first packet, or at the end for a file without any.
bool TAviMuxer::Start(std::string& error) {
    if (FStarted)
        return true;
    if (!OpenOutput(error))
        return false;
    if (FInput) {
        FInputMap.assign(FInput->nb_streams, -1);
        FInputLastStamp.assign(FInput->nb_streams, -1);
        for (unsigned i = 0; i < FInput->nb_streams; ++i) {
            const AVStream* in = FInput->streams[i];
            AVStream* out = avformat_new_stream(FOutput, nullptr);
            if (!out || avcodec_parameters_copy(out->codecpar, in->codecpar) < 0) {
                error = "Out of memory";
                return false;
            }
            out->time_base = in->time_base;
            out->avg_frame_rate = in->avg_frame_rate;
            out->r_frame_rate = in->r_frame_rate;
            FInputMap[i] = out->index;
        }
    }
    for (auto& slot : FSlots) {
        AVStream* out = avformat_new_stream(FOutput, nullptr);
        if (!out || avcodec_parameters_copy(out->codecpar, slot.Parameters) < 0) {
            error = "Out of memory";
            return false;
        }
        out->time_base = slot.TimeBase;
        if (slot.Parameters->codec_type == AVMEDIA_TYPE_VIDEO) {
            out->avg_frame_rate = av_inv_q(slot.TimeBase);
            out->r_frame_rate = out->avg_frame_rate;
        }
        slot.StreamIndex = out->index;
    }
    if (FReserved && !FReserved->Reserve(kHeaderBytes, EndingBytes(0))) {
        // Not even the header fits: nothing is recorded.
        FErrorNumber = FReserved->ErrorNumber();
        FDiskFull = true;
        FFailed = true;
        error = FError = CannotWriteFileMessage(FOutputPath, AVERROR(FErrorNumber));
        return false;
    }
    AVDictionary* options = nullptr;
    // Uncompressed frames arrive as bottom-up bitmaps; say so in the header.
    av_dict_set(&options, "flipped_raw_rgb", "1", 0);
    const int result = avformat_write_header(FOutput, &options);
    av_dict_free(&options);
    if (!CheckWritten(result, error))
        return false;
    if (FFlushEachPacket) {
        avio_flush(FOutput->pb);
        if (!CheckWritten(0, error))
            return false;
    }
    FStarted = true;
    return true;
}

bool TAviMuxer::CheckWritten(int result, std::string& error) {
    if (result >= 0 && FOutput->pb && FOutput->pb->error < 0)
        result = FOutput->pb->error;
    if (result >= 0)
        return true;
    error = CannotWriteFileMessage(FOutputPath, result);
    if (!FFailed) {
        FError = error;
        FErrorNumber = AvErrorToErrno(result);
    }
    FFailed = true;
    return false;
}

bool TAviMuxer::CopyInputUntil(double seconds, bool all, std::string& error) {
    while (!FInputDone) {
        if (!FPendingInput) {
            FPendingInput = av_packet_alloc();
            if (av_read_frame(FInput, FPendingInput) < 0) {
                FInputDone = true;
                av_packet_free(&FPendingInput);
                return true;
            }
        }
        AVPacket* packet = FPendingInput;
        const AVStream* in = FInput->streams[packet->stream_index];
        const std::int64_t stamp = packet->dts != AV_NOPTS_VALUE ? packet->dts : packet->pts;
        if (!all && stamp != AV_NOPTS_VALUE && stamp * av_q2d(in->time_base) > seconds)
            return true;
        const int target = FInputMap[packet->stream_index];
        if (stamp != AV_NOPTS_VALUE)
            FInputLastStamp[packet->stream_index] = stamp;
        if (target >= 0) {
            if (packet->pts == AV_NOPTS_VALUE)
                packet->pts = packet->dts; // nothing here is reordered
            packet->stream_index = target;
            av_packet_rescale_ts(packet, in->time_base, FOutput->streams[target]->time_base);
            packet->pos = -1;
            if (!CheckWritten(av_interleaved_write_frame(FOutput, packet), error))
                return false;
        }
        av_packet_free(&FPendingInput);
    }
    return true;
}

bool TAviMuxer::PadCopiedVideo(std::string& error) {
    // Frames that repeat the one before are empty chunks, which reading
    // passes over: the ones at the end would be lost without this.
    for (unsigned i = 0; i < FInput->nb_streams; ++i) {
        const AVStream* in = FInput->streams[i];
        const int target = FInputMap[i];
        if (target < 0 || in->codecpar->codec_type != AVMEDIA_TYPE_VIDEO || in->nb_frames <= 0 ||
            FInputLastStamp[i] < 0 || FInputLastStamp[i] + 1 >= in->nb_frames)
            continue;
        AVPacket* packet = av_packet_alloc();
        if (!packet) {
            error = "Out of memory";
            return false;
        }
        packet->pts = packet->dts = in->nb_frames - 1;
        packet->duration = 1;
        packet->stream_index = target;
        av_packet_rescale_ts(packet, in->time_base, FOutput->streams[target]->time_base);
        const bool written = CheckWritten(av_interleaved_write_frame(FOutput, packet), error);
        av_packet_free(&packet);
        if (!written)
            return false;
    }
    return true;
}

bool TAviMuxer::WritePacket(int slotIndex, AVPacket* packet, std::string& error) {
    if (FFinished || FFailed || FDiskFull) {
        av_packet_unref(packet);
        error = FFailed || FDiskFull ? FError : "The file \"" + FPath + "\" is already complete";
        return false;
    }
    if (!Start(error)) {
        av_packet_unref(packet);
        return false;
    }
    const TSlot& slot = FSlots[slotIndex];
    AVStream* stream = FOutput->streams[slot.StreamIndex];
    if (FInput) {
        const std::int64_t end = packet->pts + std::max<std::int64_t>(packet->duration, 0);
        if (!CopyInputUntil(end * av_q2d(slot.TimeBase), false, error)) {
            av_packet_unref(packet);
            return false;
        }
    }
    if (FReserved) {
        // Slots passed over become empty chunks of their own.
        const std::int64_t last = FLastPts[slotIndex];
        const std::int64_t chunks =
            std::max<std::int64_t>(1, last < 0 ? packet->pts + 1 : packet->pts - last);
        if (!FReserved->Reserve(packet->size + 8 * chunks, EndingBytes(FChunks + chunks))) {
            // The recording stops here, with room left to complete the file.
            av_packet_unref(packet);
            FDiskFull = true;
            FErrorNumber = FReserved->ErrorNumber();
            error = FError = CannotWriteFileMessage(FOutputPath, AVERROR(FErrorNumber));
            return false;
        }
        FChunks += chunks;
        FLastPts[slotIndex] = std::max(last, packet->pts);
    }
    packet->stream_index = slot.StreamIndex;
    av_packet_rescale_ts(packet, slot.TimeBase, stream->time_base);
    if (!CheckWritten(av_interleaved_write_frame(FOutput, packet), error))
        return false;
    if (FFlushEachPacket)
        avio_flush(FOutput->pb);
    return CheckWritten(0, error);
}

void TAviMuxer::Abandon() {
    if (FFinished)
        return;
    FFinished = true;
    CloseOutput();
    if (FAppending) {
        if (FInput)
            avformat_close_input(&FInput);
        std::remove(FOutputPath.c_str());
    }
}

bool TAviMuxer::Finish(std::string& error) {
    if (FFinished)
        return true;
    FFinished = true;
    if (FInput && FSlots.empty()) {
        // Nothing was added: the old file stays as it is.
        avformat_close_input(&FInput);
        return true;
    }
    bool ok = !FFailed && Start(error);
    if (FFailed && error.empty())
        error = FError;
    if (ok && FInput)
        ok = CopyInputUntil(0, true, error) && PadCopiedVideo(error);
    if (ok || FStarted) {
        // Even after a failed write the trailer is tried, so that what was
        // written stays readable as far as the disk allows.
        std::string trailerError;
        const int result = av_write_trailer(FOutput);
        if (!CheckWritten(result, trailerError) && ok) {
            ok = false;
            error = trailerError;
        }
    }
    if (FOutput && FOutput->pb) {
        avio_flush(FOutput->pb);
        if (ok && FOutput->pb->error < 0) {
            ok = false;
            error = CannotWriteFileMessage(FOutputPath, FOutput->pb->error);
        }
    }
    CloseOutput();
    if (FInput) {
        avformat_close_input(&FInput);
        // The new file must be on the disk before it takes the old one's
        // place: after a power cut the name would otherwise hold a file
        // cut short, with the sound file already removed by the caller.
        if (ok && !ReplaceFileSafely(FOutputPath, FPath, error))
            ok = false;
        if (!ok)
            std::remove(FOutputPath.c_str());
    }
    return ok;
}

} // namespace vardocle
