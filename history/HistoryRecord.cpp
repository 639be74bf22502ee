#include "history/HistoryRecord.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

namespace vardocle {

static_assert(kHistoryFilePathOffset + 1 + kHistoryFilePathRoom + 5 == kHistoryRecordTimeOffset);
static_assert(kHistoryRecordTimeOffset + sizeof(double) == kHistoryRecordSize);

namespace {

void PutText(HistoryRecordBytes& bytes, std::size_t offset, std::size_t room,
             const std::string& text) {
    const std::size_t length = std::min(text.size(), room);
    bytes[offset] = static_cast<char>(static_cast<unsigned char>(length));
    std::memcpy(bytes.data() + offset + 1, text.data(), length);
}

std::string GetText(const HistoryRecordBytes& bytes, std::size_t offset, std::size_t room) {
    const std::size_t length =
        std::min<std::size_t>(static_cast<unsigned char>(bytes[offset]), room);
    return std::string(bytes.data() + offset + 1, length);
}

// The file holds the double little-endian whatever the machine's order.
void PutDouble(HistoryRecordBytes& bytes, std::size_t offset, double value) {
    auto bits = std::bit_cast<std::uint64_t>(value);
    for (std::size_t i = 0; i < sizeof bits; ++i) {
        bytes[offset + i] = static_cast<char>(bits & 0xFF);
        bits >>= 8;
    }
}

double GetDouble(const HistoryRecordBytes& bytes, std::size_t offset) {
    std::uint64_t bits = 0;
    for (std::size_t i = sizeof bits; i-- > 0;)
        bits = (bits << 8) | static_cast<unsigned char>(bytes[offset + i]);
    return std::bit_cast<double>(bits);
}

} // namespace

bool HistoryRecord::operator==(const HistoryRecord& other) const {
    return FileName == other.FileName && FilePath == other.FilePath &&
           std::bit_cast<std::uint64_t>(RecordTime) ==
               std::bit_cast<std::uint64_t>(other.RecordTime);
}

std::string FileNamePart(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

HistoryRecord MakeHistoryRecord(const std::string& outputPath, double recordTime) {
    HistoryRecord record;
    record.FileName = FileNamePart(outputPath).substr(0, kHistoryFileNameRoom);
    record.FilePath = outputPath.substr(0, kHistoryFilePathRoom);
    record.RecordTime = recordTime;
    return record;
}

HistoryRecordBytes EncodeHistoryRecord(const HistoryRecord& record) {
    HistoryRecordBytes bytes{};
    PutText(bytes, kHistoryFileNameOffset, kHistoryFileNameRoom, record.FileName);
    PutText(bytes, kHistoryFilePathOffset, kHistoryFilePathRoom, record.FilePath);
    PutDouble(bytes, kHistoryRecordTimeOffset, record.RecordTime);
    return bytes;
}

HistoryRecord DecodeHistoryRecord(const HistoryRecordBytes& bytes) {
    HistoryRecord record;
    record.FileName = GetText(bytes, kHistoryFileNameOffset, kHistoryFileNameRoom);
    record.FilePath = GetText(bytes, kHistoryFilePathOffset, kHistoryFilePathRoom);
    record.RecordTime = GetDouble(bytes, kHistoryRecordTimeOffset);
    return record;
}

} // namespace vardocle
