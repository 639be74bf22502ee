#include "platform/avifile/WavSource.h"

#include "platform/base/Errors.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace vardocle {

namespace {

TReadAt FileReader(std::FILE* file) {
    return [file](std::int64_t offset, void* buffer, std::size_t size) {
        return fseeko(file, offset, SEEK_SET) == 0 && std::fread(buffer, 1, size, file) == size;
    };
}

class TWavStream : public TAviStream {
public:
    TWavStream(TFileHandle file, const WAVEFORMATEX& format, const TWavLayout& layout,
               std::int64_t dataBytes)
        : FFile(std::move(file)), FFormat(format), FLayout(layout), FDataBytes(dataBytes),
          FSamples((layout.MovedBytes + dataBytes) / format.nBlockAlign) {}

    HRESULT Info(AVISTREAMINFOA& info) const override {
        info = AVISTREAMINFOA{};
        info.fccType = streamtypeAUDIO;
        info.dwScale = FFormat.nBlockAlign;
        info.dwRate = FFormat.nAvgBytesPerSec;
        info.dwLength = static_cast<std::uint32_t>(std::min<std::int64_t>(FSamples, UINT32_MAX));
        info.dwSuggestedBufferSize = FFormat.nAvgBytesPerSec;
        info.dwQuality = 0xFFFFFFFF;
        info.dwSampleSize = FFormat.nBlockAlign;
        return AVIERR_OK;
    }

    HRESULT ReadFormat(std::int32_t, void* format, std::int32_t& size) const override {
        const auto bytes = std::min<std::int32_t>(size, sizeof FFormat);
        if (bytes < 0)
            return Fail("Invalid format buffer");
        std::memcpy(format, &FFormat, static_cast<std::size_t>(bytes));
        size = bytes;
        return AVIERR_OK;
    }

    std::int32_t Length() const override {
        return static_cast<std::int32_t>(std::min<std::int64_t>(FSamples, INT32_MAX));
    }

    HRESULT Read(std::int32_t start, std::int32_t samples, void* buffer, std::int32_t bytes,
                 std::int32_t* bytesRead, std::int32_t* samplesRead) override {
        if (start < 0 || samples < 0 || bytes < 0)
            return Fail("Invalid read");
        const std::int64_t available = std::max<std::int64_t>(0, FSamples - start);
        std::int64_t count =
            std::min<std::int64_t>({samples, available, bytes / FFormat.nBlockAlign});
        if (count > 0 &&
            !ReadWavSound(FileReader(FFile.get()), FLayout, FDataBytes,
                          static_cast<std::int64_t>(start) * FFormat.nBlockAlign, buffer,
                          static_cast<std::size_t>(count) * FFormat.nBlockAlign))
            return Fail(kStreamReadError);
        if (bytesRead)
            *bytesRead = static_cast<std::int32_t>(count * FFormat.nBlockAlign);
        if (samplesRead)
            *samplesRead = static_cast<std::int32_t>(count);
        return AVIERR_OK;
    }

private:
    TFileHandle FFile;
    WAVEFORMATEX FFormat;
    TWavLayout FLayout;
    std::int64_t FDataBytes;
    std::int64_t FSamples;
};

} // namespace

std::unique_ptr<TWavSource> TWavSource::Open(const std::string& path, std::string& error) {
    TFileHandle file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        error = CannotOpenFileMessage(path, errno);
        return nullptr;
    }
    auto source = std::make_unique<TWavSource>();
    source->FPath = path;
    fseeko(file.get(), 0, SEEK_END);
    const std::int64_t fileSize = ftello(file.get());

    std::string problem;
    TWavLayout& layout = source->FLayout;
    if (!ReadWavLayout(FileReader(file.get()), fileSize, layout, problem)) {
        error = "\"" + path + "\" cannot be read: " + problem;
        return nullptr;
    }
    if (!layout.IsPcm()) {
        error = "\"" + path + "\" holds no PCM sound";
        return nullptr;
    }
    source->FDataBytes = WavDataBytesPresent(layout, fileSize);
    WAVEFORMATEX& format = source->FFormat;
    format.wFormatTag = layout.FormatTag;
    format.nChannels = layout.Channels;
    format.nSamplesPerSec = layout.SampleRate;
    format.nAvgBytesPerSec = layout.BytesPerSecond;
    format.nBlockAlign = layout.BlockAlign;
    format.wBitsPerSample = layout.BitsPerSample;
    format.cbSize = 0;
    return source;
}

HRESULT TWavSource::GetStream(std::unique_ptr<TAviStream>& stream, std::uint32_t fccType,
                              std::int32_t index) {
    if (fccType != streamtypeAUDIO || index != 0)
        return Fail("No such stream");
    TFileHandle file(std::fopen(FPath.c_str(), "rb"));
    if (!file)
        return Fail(CannotOpenFileMessage(FPath, errno));
    stream = std::make_unique<TWavStream>(std::move(file), FFormat, FLayout, FDataBytes);
    return AVIERR_OK;
}

} // namespace vardocle
