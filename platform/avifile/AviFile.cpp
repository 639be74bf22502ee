#include "platform/avifile/AviFile.h"

#include "platform/avifile/AviMuxer.h"
#include "platform/avifile/CompressedStream.h"
#include "platform/avifile/MuxStream.h"
#include "platform/avifile/WavSource.h"

#include <mutex>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
}

namespace vardocle {

namespace {

// A file being written: a new one, or an existing one getting more streams.
class TAviOutputFile : public TAviFile {
public:
    explicit TAviOutputFile(std::shared_ptr<TAviMuxer> muxer) : FMuxer(std::move(muxer)) {}
    ~TAviOutputFile() override { TAviOutputFile::Release(); }

    HRESULT CreateStream(std::unique_ptr<TAviStream>& stream, const AVISTREAMINFOA& info) override {
        if (FMuxer->Finished())
            return Fail("The file is already complete");
        if (info.fccType != streamtypeVIDEO && info.fccType != streamtypeAUDIO)
            return Fail("Unknown stream type");
        stream = std::make_unique<TMuxStream>(FMuxer, info);
        return AVIERR_OK;
    }

    HRESULT Release() override {
        if (FMuxer->Finished())
            return FLastError.empty() ? AVIERR_OK : AVIERR_ERROR;
        std::string error;
        if (!FMuxer->Finish(error))
            return Fail(error);
        return AVIERR_OK;
    }

    void Discard() override { FMuxer->Abandon(); }

    HRESULT BeginWriting() override {
        std::string error;
        return FMuxer->Begin(error) ? AVIERR_OK : Fail(error);
    }

    int ErrorNumber() const override { return FMuxer->ErrorNumber(); }

private:
    std::shared_ptr<TAviMuxer> FMuxer;
};

} // namespace

HRESULT TAviStream::Fail(std::string message) const {
    FLastError = std::move(message);
    return AVIERR_ERROR;
}

HRESULT TAviStream::Info(AVISTREAMINFOA&) const {
    return AVIERR_ERROR;
}
HRESULT TAviStream::ReadFormat(std::int32_t, void*, std::int32_t&) const {
    return AVIERR_ERROR;
}
std::int32_t TAviStream::Length() const {
    return 0;
}
HRESULT TAviStream::Read(std::int32_t, std::int32_t, void*, std::int32_t, std::int32_t*,
                         std::int32_t*) {
    return Fail("The stream cannot be read");
}
HRESULT TAviStream::SetFormat(std::int32_t, const void*, std::int32_t) {
    return Fail("The stream cannot be written");
}
HRESULT TAviStream::Write(std::int32_t, std::int32_t, const void*, std::int32_t, std::uint32_t) {
    return Fail("The stream cannot be written");
}
HRESULT TAviStream::WriteImage(std::int32_t, const TSourceImage&, std::uint32_t) {
    return Fail("The stream takes no pictures");
}

HRESULT TAviFile::Fail(std::string message) {
    FLastError = std::move(message);
    return AVIERR_ERROR;
}
HRESULT TAviFile::CreateStream(std::unique_ptr<TAviStream>&, const AVISTREAMINFOA&) {
    return Fail("The file is open for reading");
}
HRESULT TAviFile::GetStream(std::unique_ptr<TAviStream>&, std::uint32_t, std::int32_t) {
    return Fail("No such stream");
}
HRESULT TAviFile::Release() {
    return AVIERR_OK;
}

std::unique_ptr<TAviFile> TAviFile::Open(const std::string& path, std::uint32_t mode,
                                         std::string& error, int* errorNumber) {
    // The libraries' progress chatter would drown the recorder's own output.
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_ERROR); });
    if (path.empty()) {
        error = "No file name";
        return nullptr;
    }
    if (mode & OF_CREATE) {
        auto muxer = TAviMuxer::Create(path, error, errorNumber);
        return muxer ? std::make_unique<TAviOutputFile>(std::move(muxer)) : nullptr;
    }
    if (mode & (OF_WRITE | OF_READWRITE)) {
        auto muxer = TAviMuxer::Append(path, error);
        return muxer ? std::make_unique<TAviOutputFile>(std::move(muxer)) : nullptr;
    }
    return TWavSource::Open(path, error);
}

HRESULT AviMakeCompressedStream(std::unique_ptr<TAviStream>& compressed, TAviStream& source,
                                const AVICOMPRESSOPTIONS& options, std::string& error) {
    auto* video = dynamic_cast<TMuxStream*>(&source);
    AVISTREAMINFOA info{};
    if (!video || video->Info(info) != AVIERR_OK || info.fccType != streamtypeVIDEO) {
        error = "Only a video stream being written can be compressed";
        return AVIERR_ERROR;
    }
    const auto codec = ResolveCompressor(options.fccHandler);
    if (!codec) {
        error = "No compressor for this video code";
        return AVIERR_ERROR;
    }
    const std::string encoder(DescribeCodec(*codec).Encoder);
    if (!encoder.empty() && !avcodec_find_encoder_by_name(encoder.c_str())) {
        error = "The compressor \"" + encoder + "\" is not available";
        return AVIERR_ERROR;
    }
    compressed =
        std::make_unique<TCompressedStream>(video->Muxer(), video->Slot(), info, *codec, options);
    return AVIERR_OK;
}

} // namespace vardocle
