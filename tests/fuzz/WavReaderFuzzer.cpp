// Any bytes as a sound file for the merge: reading its layout ends, every
// size it reports lies inside the input, and reading all of the sound it
// claims either succeeds within the input or fails, never past it.
#include "platform/avifile/WavLayout.h"

#include <cstdlib>
#include <cstring>
#include <vector>

using namespace vardocle;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto length = static_cast<std::int64_t>(size);
    const TReadAt readAt = [&](std::int64_t offset, void* buffer, std::size_t count) {
        if (offset < 0 || offset > length || static_cast<std::int64_t>(count) > length - offset)
            return false;
        std::memcpy(buffer, data + offset, count);
        return true;
    };
    TWavLayout layout;
    std::string problem;
    if (!ReadWavLayout(readAt, length, layout, problem))
        return 0;
    if (layout.DataOffset < 12 || layout.DataOffset > length)
        std::abort();
    if (layout.MovedOffset >= 0 &&
        (layout.MovedBytes < 0 || layout.MovedOffset + layout.MovedBytes > length))
        std::abort();
    const std::int64_t present = WavDataBytesPresent(layout, length);
    if (present < 0 || layout.DataOffset + present > length)
        std::abort();
    if (!layout.IsPcm())
        return 0;
    // The whole sound as the merge reads it, in blocks of whole frames.
    const std::int64_t frames = (layout.MovedBytes + present) / layout.BlockAlign;
    std::vector<std::uint8_t> block(static_cast<std::size_t>(layout.BlockAlign) * 64);
    for (std::int64_t frame = 0; frame < frames; frame += 64) {
        const std::int64_t count = std::min<std::int64_t>(64, frames - frame);
        if (!ReadWavSound(readAt, layout, present, frame * layout.BlockAlign, block.data(),
                          static_cast<std::size_t>(count * layout.BlockAlign)))
            std::abort();
    }
    return 0;
}
