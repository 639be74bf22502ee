#pragma once
// Writes the streams found by a scan into a new, complete AVI file: every
// whole chunk in its place, the empty chunks of repeated frames kept (the
// writer re-creates them for the frame slots it is not given), the index and
// the header counts written anew.
#include "recovery/AviChunkScanner.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace vardocle {

struct TRebuildResult {
    std::int64_t Frames = 0;     // video chunks with a picture
    std::int64_t Slots = 0;      // video frame slots, repeated ones included
    std::int64_t VideoMs = 0;    // the video's length
    std::int64_t SoundBytes = 0; // of a sound stream the file already held
    std::int64_t LostSlots = 0;  // frames lost in damage, kept as repeats
};

// The video's length in milliseconds for a scan (repeated frames included).
std::int64_t ScannedVideoMs(const TAviScan& Scan);

// Whether an H.264 access unit (start-code form) holds an IDR picture.
bool H264HasIdr(const std::uint8_t* Data, std::size_t Size);

// Writes OutputPath from Source as Scan describes it. False with the reason
// (English); the output is then incomplete and the caller removes it.
// Progress goes from ProgressFrom to ProgressTo when given.
bool RebuildAvi(const IByteSource& Source, const TAviScan& Scan, const std::string& OutputPath,
                TRebuildResult& Result, std::string& Error, std::atomic<int>* Progress = nullptr,
                int ProgressFrom = 0, int ProgressTo = 100);

} // namespace vardocle
