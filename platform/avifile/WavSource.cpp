#include "platform/avifile/WavSource.h"

#include "platform/base/Errors.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace vardocle {

namespace {

std::uint32_t LittleEndian32(const unsigned char* bytes) {
    return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) |
           (static_cast<std::uint32_t>(bytes[3]) << 24);
}

class TWavStream : public TAviStream {
public:
    TWavStream(TFileHandle file, const WAVEFORMATEX& format, std::int64_t dataOffset,
               std::int64_t dataBytes)
        : FFile(std::move(file)), FFormat(format), FDataOffset(dataOffset),
          FSamples(dataBytes / format.nBlockAlign) {}

    HRESULT Info(AVISTREAMINFOA& info) const override {
        info = AVISTREAMINFOA{};
        info.fccType = streamtypeAUDIO;
        info.dwScale = FFormat.nBlockAlign;
        info.dwRate = FFormat.nAvgBytesPerSec;
        info.dwLength = static_cast<std::uint32_t>(FSamples);
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
        const std::int64_t offset =
            FDataOffset + static_cast<std::int64_t>(start) * FFormat.nBlockAlign;
        if (count > 0) {
            if (fseeko(FFile.get(), offset, SEEK_SET) != 0)
                return Fail(kStreamReadError);
            const std::size_t want = static_cast<std::size_t>(count) * FFormat.nBlockAlign;
            const std::size_t got = std::fread(buffer, 1, want, FFile.get());
            if (got != want)
                return Fail(kStreamReadError);
        }
        if (bytesRead)
            *bytesRead = static_cast<std::int32_t>(count * FFormat.nBlockAlign);
        if (samplesRead)
            *samplesRead = static_cast<std::int32_t>(count);
        return AVIERR_OK;
    }

private:
    TFileHandle FFile;
    WAVEFORMATEX FFormat;
    std::int64_t FDataOffset;
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
    fseeko(file.get(), 0, SEEK_SET);

    unsigned char riff[12];
    if (std::fread(riff, 1, sizeof riff, file.get()) != sizeof riff ||
        std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(riff + 8, "WAVE", 4) != 0) {
        error = "\"" + path + "\" is not a WAV file";
        return nullptr;
    }
    bool haveFormat = false;
    std::int64_t position = 12;
    for (;;) {
        unsigned char chunk[8];
        if (fseeko(file.get(), position, SEEK_SET) != 0 ||
            std::fread(chunk, 1, sizeof chunk, file.get()) != sizeof chunk) {
            error = "\"" + path + "\" holds no sound data";
            return nullptr;
        }
        const std::uint32_t size = LittleEndian32(chunk + 4);
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            unsigned char format[16];
            if (size < 16 || std::fread(format, 1, sizeof format, file.get()) != sizeof format) {
                error = "\"" + path + "\" has a broken format";
                return nullptr;
            }
            std::memcpy(&source->FFormat, format, 16);
            source->FFormat.cbSize = 0;
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            source->FDataOffset = position + 8;
            const std::int64_t rest = fileSize - source->FDataOffset;
            // A header left at 0 (or one claiming more than is there) means the
            // data runs to the end of the file.
            source->FDataBytes = (size == 0 || size > rest) ? rest : size;
            break;
        }
        position += 8 + size + (size & 1);
    }
    const WAVEFORMATEX& format = source->FFormat;
    if (!haveFormat || format.wFormatTag != WAVE_FORMAT_PCM || format.nChannels == 0 ||
        format.nBlockAlign == 0 || format.nSamplesPerSec == 0 ||
        (format.wBitsPerSample != 8 && format.wBitsPerSample != 16 && format.wBitsPerSample != 24 &&
         format.wBitsPerSample != 32)) {
        error = "\"" + path + "\" holds no PCM sound";
        return nullptr;
    }
    return source;
}

HRESULT TWavSource::GetStream(std::unique_ptr<TAviStream>& stream, std::uint32_t fccType,
                              std::int32_t index) {
    if (fccType != streamtypeAUDIO || index != 0)
        return Fail("No such stream");
    TFileHandle file(std::fopen(FPath.c_str(), "rb"));
    if (!file)
        return Fail(CannotOpenFileMessage(FPath, errno));
    stream = std::make_unique<TWavStream>(std::move(file), FFormat, FDataOffset, FDataBytes);
    return AVIERR_OK;
}

} // namespace vardocle
