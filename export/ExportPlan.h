#pragma once
// What an export takes from a recording: its picture's samples, each with the
// slot it starts at and how many slots it stays on screen (the empty chunks
// after it are that picture repeated), and its sound's chunks.
#include "recovery/AviChunkScanner.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vardocle {

struct TVideoSample {
    std::int64_t Slot = 0;
    std::int64_t Slots = 1; // until the next picture, or the end of the recording
    std::int64_t Offset = 0;
    std::uint32_t Size = 0;
};

struct TSoundChunk {
    std::int64_t Offset = 0;
    std::uint32_t Size = 0;
};

struct TExportPlan {
    int Width = 0;
    int Height = 0;
    std::uint32_t FourCC = 0;   // the picture's codec ("H264", "MJPG", "FFV1", 0 for raw)
    std::uint16_t BitCount = 0; // of a raw picture
    std::uint32_t Scale = 1;    // a slot lasts Scale / Rate seconds
    std::uint32_t Rate = 1;
    std::int64_t TotalSlots = 0;         // the recording's length, empty slots included
    std::vector<std::uint8_t> CodecData; // the format's bytes after the bitmap header
    std::vector<TVideoSample> Samples;

    bool HaveSound = false;
    int Channels = 0;
    int SampleRate = 0;
    int BitsPerSample = 0;
    int BlockAlign = 0;
    std::int64_t SoundBytes = 0;
    std::vector<TSoundChunk> Sound;

    double Seconds() const { return static_cast<double>(TotalSlots) * Scale / Rate; }
};

// Builds the plan from a complete scan; false with the reason (English) when
// the recording holds nothing an export can use.
bool MakeExportPlan(const TAviScan& Scan, TExportPlan& Plan, std::string& Problem);

// H.264 in the Annex-B layout our recordings hold.
bool HasKeyPicture(std::span<const std::uint8_t> Packet);
// The sequence and picture parameter sets of a packet, with start codes.
std::vector<std::uint8_t> ParameterSets(std::span<const std::uint8_t> Packet);
// True when the stream is 8-bit 4:2:0 (what every browser decodes), judged
// from its sequence parameter set; parameter sets in either layout.
bool IsPlainColour(std::span<const std::uint8_t> ParameterSets);

} // namespace vardocle
