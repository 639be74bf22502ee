#include "engine/BufferFileStream.h"

#include "platform/base/Errors.h"
#include "tests/support/TestSupport.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <numeric>
#include <vector>

using namespace vardocle;
namespace fs = std::filesystem;

namespace {

std::vector<std::uint8_t> Pattern(std::size_t count, std::uint8_t first) {
    std::vector<std::uint8_t> bytes(count);
    for (std::size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<std::uint8_t>(first + i * 7 + i / 251);
    return bytes;
}

std::vector<std::uint8_t> ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class BufferFileStreamTest : public ::testing::Test {
protected:
    test::TempDir Dir;
    fs::path File = Dir / "sound.Wav";
};

} // namespace

TEST_F(BufferFileStreamTest, SmallBlocksCollectUntilTheBufferWouldOverflow) {
    TBufferFileStream stream(File.string(), fmCreate, 400000);
    std::vector<std::uint8_t> expected;
    for (int i = 0; i < 22; ++i) {
        const auto block = Pattern(17640, static_cast<std::uint8_t>(i));
        stream.Write(block.data(), 17640);
        expected.insert(expected.end(), block.begin(), block.end());
    }
    EXPECT_EQ(fs::file_size(File), 0U);
    EXPECT_EQ(stream.BufferCount(), 388080);
    EXPECT_EQ(stream.Size(), 388080);

    const auto last = Pattern(17640, 99);
    stream.Write(last.data(), 17640);
    expected.insert(expected.end(), last.begin(), last.end());
    EXPECT_EQ(fs::file_size(File), 388080U);
    EXPECT_EQ(stream.BufferCount(), 17640);
    EXPECT_EQ(stream.Size(), 405720);

    EXPECT_EQ(stream.Flush(), 17640);
    EXPECT_EQ(ReadAll(File), expected);
    EXPECT_EQ(stream.Flush(), 1) << "nothing buffered";
}

TEST_F(BufferFileStreamTest, BlocksAsLargeAsTheBufferGoStraightToTheFileInOrder) {
    TBufferFileStream stream(File.string(), fmCreate, 400000);
    const auto head = Pattern(100, 1);
    const auto big = Pattern(400000, 2);
    const auto fill = Pattern(399900, 3);
    stream.Write(head.data(), 100);
    stream.Write(big.data(), 400000);
    EXPECT_EQ(fs::file_size(File), 400100U) << "the buffered bytes first, then the block";
    EXPECT_EQ(stream.BufferCount(), 0);

    stream.Write(head.data(), 100);
    stream.Write(fill.data(), 399900);
    EXPECT_EQ(stream.BufferCount(), 400000) << "a block that fills the buffer exactly stays there";
    EXPECT_EQ(fs::file_size(File), 400100U);

    stream.Flush();
    std::vector<std::uint8_t> expected = head;
    expected.insert(expected.end(), big.begin(), big.end());
    expected.insert(expected.end(), head.begin(), head.end());
    expected.insert(expected.end(), fill.begin(), fill.end());
    EXPECT_EQ(ReadAll(File), expected);
    EXPECT_EQ(stream.Size(), 800100);
}

TEST_F(BufferFileStreamTest, HeaderThenAMegabyteKeepsEverythingInOrder) {
    TBufferFileStream stream(File.string(), fmCreate, 400000);
    const auto header = Pattern(44, 5);
    const auto data = Pattern(1000000, 6);
    stream.Write(header.data(), 44);
    stream.Write(data.data(), 1000000);
    EXPECT_EQ(stream.Size(), 1000044);
    stream.Flush();
    std::vector<std::uint8_t> expected = header;
    expected.insert(expected.end(), data.begin(), data.end());
    EXPECT_EQ(ReadAll(File), expected);
}

TEST_F(BufferFileStreamTest, WriteDirectPatchesInPlaceWithoutChangingTheSize) {
    TBufferFileStream stream(File.string(), fmCreate, 400000);
    auto bytes = Pattern(1000, 8);
    stream.Write(bytes.data(), 1000);
    // The seek flushes the buffered bytes first, so the patch lands on them.
    ASSERT_EQ(stream.Seek(4, TSeekOrigin::soBeginning), 4);
    const std::uint8_t patch[4] = {0xDE, 0xAD, 0xBE, 0xEF};
    EXPECT_EQ(stream.WriteDirect(patch, 4), 4);
    EXPECT_EQ(stream.Size(), 1000);
    std::memcpy(&bytes[4], patch, 4);
    EXPECT_EQ(ReadAll(File), bytes);

    // Appending goes on at the file's position: the owner seeks back to the end.
    ASSERT_EQ(stream.Seek(0, TSeekOrigin::soEnd), 1000);
    stream.Write(patch, 4);
    EXPECT_EQ(stream.Size(), 1004);
}

TEST_F(BufferFileStreamTest, CreateReplacesAnExistingFileAndOpenReadsIt) {
    std::ofstream(File, std::ios::binary) << "older and longer contents";
    {
        TBufferFileStream stream(File.string(), fmCreate, 16);
        stream.Write("new", 3);
    } // destruction writes what is still buffered
    EXPECT_EQ(ReadAll(File), (std::vector<std::uint8_t>{'n', 'e', 'w'}));

    TBufferFileStream reader(File.string(), fmOpenRead, 16);
    char text[8] = {};
    EXPECT_EQ(reader.Read(text, sizeof text), 3);
    EXPECT_STREQ(text, "new");
}

TEST_F(BufferFileStreamTest, CreationErrorsNameTheFullPathAndTheSystemReason) {
    const fs::path missing = Dir / "no such folder" / "a.Wav";
    try {
        TBufferFileStream stream(missing.string(), fmCreate, 16);
        FAIL() << "created a file in a missing folder";
    } catch (const EFCreateError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Cannot create file \"" + missing.string() + "\". " + SystemErrorText(ENOENT));
    }
    try {
        TBufferFileStream stream((Dir / "absent.Wav").string(), fmOpenReadWrite, 16);
        FAIL() << "opened a missing file";
    } catch (const EFOpenError& error) {
        EXPECT_EQ(std::string(error.what()), "Cannot open file \"" + (Dir / "absent.Wav").string() +
                                                 "\". " + SystemErrorText(ENOENT));
    }
}

TEST_F(BufferFileStreamTest, RefusedWritesAreNotCountedAndSeekReportsTheFailedFlush) {
    // Every write to /dev/full fails as on a full disk.
    TBufferFileStream stream("/dev/full", fmOpenWrite, 1000);
    const auto bytes = Pattern(100, 9);
    stream.Write(bytes.data(), 100);
    EXPECT_EQ(stream.Size(), 100) << "still waiting in the buffer";
    EXPECT_EQ(stream.Seek(0, TSeekOrigin::soBeginning), -1);
    EXPECT_EQ(stream.Size(), 0) << "bytes that never reached the file are not counted";
    EXPECT_EQ(stream.FirstWriteError(), ENOSPC);

    const auto big = Pattern(5000, 10);
    EXPECT_EQ(stream.Write(big.data(), 5000), 0);
    EXPECT_EQ(stream.Size(), 0);
}
