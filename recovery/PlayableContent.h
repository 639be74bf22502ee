#pragma once
// What a player gets from a video file as it stands, read the way players
// read it (its index where it has one, its chunks where not): a repair may
// replace a file only with one that offers at least as much.
#include <cstdint>
#include <string>

namespace vardocle {

struct TPlayableContent {
    bool Readable = false;
    // Frame slots up to the last picture (repeats between pictures count).
    std::int64_t VideoSlots = 0;
    std::int64_t SoundSamples = 0; // whole sound samples, all sound streams
    std::int64_t SoundRate = 0;    // of the first sound stream, 0 without sound
};

TPlayableContent MeasurePlayable(const std::string& FileName);

} // namespace vardocle
