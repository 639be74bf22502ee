#include "history/HistoryRecord.h"

#include <cstring>
#include <gtest/gtest.h>

namespace vardocle {
namespace {

TEST(HistoryRecord, TextsAreCutByByteCountToTheirRoom) {
    const std::string name(60, 'n');
    const std::string path = "/videos/" + std::string(292, 'p');
    ASSERT_EQ(path.size(), 300u);

    const HistoryRecord fromLongName = MakeHistoryRecord("/videos/" + name, 1.0);
    EXPECT_EQ(fromLongName.FileName, std::string(50, 'n'));

    const HistoryRecord fromLongPath = MakeHistoryRecord(path, 1.0);
    EXPECT_EQ(fromLongPath.FilePath, path.substr(0, 255));

    const HistoryRecordBytes bytes = EncodeHistoryRecord(fromLongPath);
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 50);
    EXPECT_EQ(static_cast<unsigned char>(bytes[51]), 255);
    EXPECT_EQ(std::string(bytes.data() + 52, 255), path.substr(0, 255));
}

TEST(HistoryRecord, CutMaySplitAMultiByteCharacter) {
    // 49 ASCII bytes and then a three-byte character: only its first byte fits.
    const std::string name = std::string(49, 'a') + "录.avi";
    const HistoryRecord record = MakeHistoryRecord("/v/" + name, 0);
    ASSERT_EQ(record.FileName.size(), 50u);
    EXPECT_EQ(record.FileName.back(), name[49]);
}

TEST(HistoryRecord, FileNameIsThePartAfterTheLastSlash) {
    EXPECT_EQ(FileNamePart("/home/u/录像 1.avi"), "录像 1.avi");
    EXPECT_EQ(FileNamePart("plain.avi"), "plain.avi");
    EXPECT_EQ(FileNamePart("/ends/with/"), "");
}

TEST(HistoryRecord, TimeIsALittleEndianDoubleAtOffset312) {
    const HistoryRecord record{"a.avi", "/v/a.avi", 45352.5};
    const HistoryRecordBytes bytes = EncodeHistoryRecord(record);
    ASSERT_EQ(bytes.size(), 320u);
    // 45352.5 is 0x40E6251000000000.
    const unsigned char expected[8] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x25, 0xE6, 0x40};
    EXPECT_EQ(std::memcmp(bytes.data() + 312, expected, 8), 0);
    // The gap between path and time carries nothing.
    for (std::size_t i = 307; i < 312; ++i)
        EXPECT_EQ(bytes[i], 0) << "offset " << i;
    EXPECT_EQ(DecodeHistoryRecord(bytes), record);
}

TEST(HistoryRecord, DamagedLengthBytesAreClampedToTheirField) {
    HistoryRecordBytes bytes{};
    bytes.fill('x');
    std::memset(bytes.data() + 1, 'n', 50);
    std::memset(bytes.data() + 52, 'p', 255);
    // The path's length byte cannot exceed its room of 255; the name's can.
    for (const int nameLength : {51, 200, 255}) {
        bytes[0] = static_cast<char>(nameLength);
        bytes[51] = static_cast<char>(10);
        const HistoryRecord record = DecodeHistoryRecord(bytes);
        // Nothing of the next field leaks into the name, and the path still
        // starts at its own offset and takes only its own length.
        EXPECT_EQ(record.FileName, std::string(50, 'n')) << nameLength;
        EXPECT_EQ(record.FilePath, std::string(10, 'p')) << nameLength;
    }
}

} // namespace
} // namespace vardocle
