#pragma once
// A PCM WAV file (plain or RF64) opened for reading as a file with one sound
// stream. Sizes come from the header, or from the file's length when the
// header was never completed (a recorder that did not get to patch it).
#include "platform/avifile/AviFile.h"
#include "platform/avifile/WavLayout.h"

#include <cstdio>
#include <memory>

namespace vardocle {

struct TFileCloser {
    void operator()(std::FILE* file) const {
        if (file)
            std::fclose(file);
    }
};
using TFileHandle = std::unique_ptr<std::FILE, TFileCloser>;

class TWavSource : public TAviFile {
public:
    // Null with the reason when the file cannot be opened or holds no PCM sound.
    static std::unique_ptr<TWavSource> Open(const std::string& path, std::string& error);

    HRESULT GetStream(std::unique_ptr<TAviStream>& stream, std::uint32_t fccType,
                      std::int32_t index) override;

private:
    std::string FPath;
    WAVEFORMATEX FFormat{};
    TWavLayout FLayout;
    std::int64_t FDataBytes = 0;
};

} // namespace vardocle
