#pragma once
// One entry of the history file: a fixed 320-byte block, little-endian.
//   0   length of the file name (0..50)
//   1   file name, 50 bytes of room
//   51  length of the full path (0..255)
//   52  full path, 255 bytes of room
//   307 five bytes of gap, so that the time starts on an 8-byte boundary
//   312 start time, IEEE-754 double, days since 30 December 1899 (local time)
// Texts are byte strings in the system encoding, cut by byte count.
#include <array>
#include <cstddef>
#include <string>

namespace vardocle {

inline constexpr std::size_t kHistoryRecordSize = 320;
inline constexpr std::size_t kHistoryFileNameRoom = 50;
inline constexpr std::size_t kHistoryFilePathRoom = 255;
inline constexpr std::size_t kHistoryFileNameOffset = 0;
inline constexpr std::size_t kHistoryFilePathOffset = 51;
inline constexpr std::size_t kHistoryRecordTimeOffset = 312;

using HistoryRecordBytes = std::array<char, kHistoryRecordSize>;

struct HistoryRecord {
    std::string FileName; // at most 50 bytes
    std::string FilePath; // at most 255 bytes
    double RecordTime = 0.0;

    // The time compares by its stored bits, so that a record of a damaged file
    // (a time that is not a number) still equals itself and can be removed.
    bool operator==(const HistoryRecord& other) const;
};

// The part of a path after its last folder separator.
std::string FileNamePart(const std::string& path);

// The record for an output file started at the given time: both texts cut to
// their room by byte count (a multi-byte character may be split).
HistoryRecord MakeHistoryRecord(const std::string& outputPath, double recordTime);

// Unused bytes are written as zeros.
HistoryRecordBytes EncodeHistoryRecord(const HistoryRecord& record);

// Reads exactly one block. A length byte larger than its field's room (a
// damaged file) is clamped to the room, so nothing outside the field is read.
HistoryRecord DecodeHistoryRecord(const HistoryRecordBytes& bytes);

} // namespace vardocle
