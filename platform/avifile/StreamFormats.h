#pragma once
// Pieces shared by the streams of a file being written: reading a frame
// format, describing uncompressed frames, and writing one block of bytes.
#include "platform/avifile/MiniVFW.h"

#include <cstdint>
#include <string>

struct AVCodecParameters;

namespace vardocle {

class TAviMuxer;

// True for a complete 24-bit uncompressed bitmap header; copies it out.
bool ReadBitmapFormat(const void* format, std::int32_t size, BITMAPINFOHEADER& header);

// Bottom-up 24-bit frames of the given size, stored as they are.
void DescribeRawVideo(AVCodecParameters* parameters, int width, int height);

// Writes `bytes` as one packet covering `samples` positions from `start`.
bool WriteBytes(TAviMuxer& muxer, int slot, std::int64_t start, std::int64_t samples,
                const void* data, std::int32_t bytes, bool keyFrame, std::string& error);

} // namespace vardocle
