#include "export/ExportOutput.h"

#include "platform/avifile/AvError.h"
#include "platform/base/Errors.h"
#include "platform/base/UniqueFd.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
}

namespace vardocle {

TExportOutput::TExportOutput(std::string Target) : FTarget(std::move(Target)) {}

TExportOutput::~TExportOutput() {
    if (FContext) {
        if (FContext->pb)
            avio_closep(&FContext->pb);
        avformat_free_context(FContext);
    }
    if (!FCommitted && !FTemporary.empty())
        ::unlink(FTemporary.c_str());
}

bool TExportOutput::Fail(int avError, const std::string& what, std::string& Error) {
    FErrno = AvErrorToErrno(avError);
    Error = what + ": " + AvErrorReason(avError);
    return false;
}

bool TExportOutput::Open(const char* FormatName, std::string& Error) {
    // Hidden beside the target, so that the rename stays on one disk and a
    // file browser shows no half-written file.
    const std::filesystem::path target(FTarget);
    std::string pattern =
        (target.parent_path() / ("." + target.filename().string() + ".XXXXXX.part")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const UniqueFd created(::mkstemps(name.data(), 5));
    if (!created) {
        FErrno = errno;
        Error = "cannot create a file in the target's folder: " + SystemErrorText(FErrno);
        return false;
    }
    FTemporary = name.data();
    int result = avformat_alloc_output_context2(&FContext, nullptr, FormatName, FTemporary.c_str());
    if (result < 0)
        return Fail(result, "cannot prepare the output", Error);
    result = avio_open(&FContext->pb, FTemporary.c_str(), AVIO_FLAG_WRITE);
    if (result < 0)
        return Fail(result, "cannot open the temporary file", Error);
    return true;
}

AVStream* TExportOutput::AddStream(AVRational TimeBase) {
    AVStream* stream = avformat_new_stream(FContext, nullptr);
    if (stream)
        stream->time_base = TimeBase;
    return stream;
}

bool TExportOutput::WriteHeader(std::string& Error) {
    AVDictionary* options = nullptr;
    // The index at the front: a browser starts playing before the whole file came.
    if (std::string(FContext->oformat->name).find("mp4") != std::string::npos)
        av_dict_set(&options, "movflags", "+faststart", 0);
    const int result = avformat_write_header(FContext, &options);
    av_dict_free(&options);
    if (result < 0)
        return Fail(result, "cannot write the file's header", Error);
    FHeaderWritten = true;
    return true;
}

bool TExportOutput::Write(AVPacket* Packet, int Stream, AVRational TimeBase, std::string& Error) {
    Packet->stream_index = Stream;
    av_packet_rescale_ts(Packet, TimeBase, FContext->streams[Stream]->time_base);
    const int result = av_interleaved_write_frame(FContext, Packet);
    if (result < 0)
        return Fail(result, "cannot write the file", Error);
    return true;
}

bool TExportOutput::Commit(bool Replace, std::string& Error) {
    int result = av_write_trailer(FContext);
    if (result < 0)
        return Fail(result, "cannot complete the file", Error);
    result = avio_closep(&FContext->pb);
    if (result < 0)
        return Fail(result, "cannot complete the file", Error);
    {
        const UniqueFd file(::open(FTemporary.c_str(), O_RDONLY | O_CLOEXEC));
        if (!file || ::fsync(file.Get()) != 0) {
            FErrno = errno;
            Error = "cannot write the file to the disk: " + SystemErrorText(FErrno);
            return false;
        }
    }
    // Without Replace, a file that appeared at the target meanwhile is kept.
    const unsigned flags = Replace ? 0 : RENAME_NOREPLACE;
    int renamed = ::renameat2(AT_FDCWD, FTemporary.c_str(), AT_FDCWD, FTarget.c_str(), flags);
    if (renamed != 0 && errno == EINVAL && !Replace) {
        // A file system without the no-replace rename: look first.
        if (::access(FTarget.c_str(), F_OK) == 0)
            errno = EEXIST;
        else
            renamed = ::rename(FTemporary.c_str(), FTarget.c_str());
    }
    if (renamed != 0) {
        FErrno = errno;
        FTargetAppeared = FErrno == EEXIST;
        Error = "cannot give the file its name: " + SystemErrorText(FErrno);
        return false;
    }
    FCommitted = true;
    return true;
}

} // namespace vardocle
