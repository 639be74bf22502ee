#pragma once
// A stream of a file being written: its format decides the codec parameters,
// its samples go to the file as they are.
#include "platform/avifile/AviFile.h"

#include <memory>

namespace vardocle {

class TAviMuxer;

class TMuxStream : public TAviStream {
public:
    TMuxStream(std::shared_ptr<TAviMuxer> muxer, const AVISTREAMINFOA& info);

    HRESULT Info(AVISTREAMINFOA& info) const override;
    HRESULT SetFormat(std::int32_t position, const void* format, std::int32_t size) override;
    HRESULT Write(std::int32_t start, std::int32_t samples, const void* buffer, std::int32_t bytes,
                  std::uint32_t flags) override;

    const std::shared_ptr<TAviMuxer>& Muxer() const { return FMuxer; }
    int Slot() const { return FSlot; }
    // Writes one packet of the given bytes at a position of the stream.
    HRESULT WriteSamples(std::int64_t start, std::int64_t samples, const void* buffer,
                         std::int32_t bytes, std::uint32_t flags);

private:
    std::shared_ptr<TAviMuxer> FMuxer;
    AVISTREAMINFOA FInfo;
    int FSlot;
    std::int64_t FNextStart = 0;
    bool FFormatSet = false;
};

} // namespace vardocle
