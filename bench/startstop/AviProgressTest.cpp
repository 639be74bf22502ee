// The bench's reading of a file being recorded: a wrong answer here would
// time the start to the header, or call a cut-off file complete.
#include "bench/startstop/AviProgress.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <string>

using namespace vardocle::test;

namespace {

std::string U32(std::uint32_t value) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>(value >> (8 * i) & 0xff);
    return bytes;
}

std::string Chunk(const std::string& id, const std::string& data) {
    return id + U32(static_cast<std::uint32_t>(data.size())) + data +
           (data.size() % 2 ? std::string(1, '\0') : std::string());
}

// A file as a recorder leaves it while recording: sizes not yet filled in.
std::string Recording(const std::string& movieChunks, std::uint32_t movieListSize = 0) {
    const std::string header = Chunk("LIST", "hdrl" + Chunk("avih", std::string(56, '\1')));
    return "RIFF" + U32(0xffffffff) + "AVI " + header + Chunk("JUNK", std::string(30, '\0')) +
           "LIST" + U32(movieListSize) + "movi" + movieChunks;
}

// The same file completed: the movie list's and the file's sizes are right
// and the index follows.
std::string Completed(const std::string& movieChunks, bool withIndex = true) {
    const std::string header = Chunk("LIST", "hdrl" + Chunk("avih", std::string(56, '\1')));
    std::string body = "AVI " + header + Chunk("LIST", "movi" + movieChunks);
    if (withIndex)
        body += Chunk("idx1", std::string(16, '\2'));
    return "RIFF" + U32(static_cast<std::uint32_t>(body.size())) + body;
}

} // namespace

TEST(AviProgress, OnlyAWholeVideoChunkWithAPictureIsAFirstFrame) {
    EXPECT_FALSE(HasFirstFrame(Recording("")));
    // Repeated slots are empty chunks; sound and index chunks are no picture.
    EXPECT_FALSE(HasFirstFrame(Recording(Chunk("00dc", "") + Chunk("00dc", ""))));
    EXPECT_FALSE(HasFirstFrame(Recording(Chunk("01wb", "sound") + Chunk("ix00", "index"))));
    // The header of a frame whose bytes are still on their way.
    const std::string frame = Chunk("00dc", std::string(100, 'x'));
    EXPECT_FALSE(HasFirstFrame(Recording(frame.substr(0, 60))));
    EXPECT_FALSE(HasFirstFrame(Recording(frame.substr(0, 6))));

    EXPECT_TRUE(HasFirstFrame(Recording(frame)));
    EXPECT_TRUE(HasFirstFrame(
        Recording(Chunk("00dc", "") + Chunk("01wb", "abc") + Chunk("00db", std::string(7, 'y')))));
    // A movie list whose size is still a placeholder, as large or as small
    // as it comes, does not hide the frame.
    EXPECT_TRUE(HasFirstFrame(Recording(frame, 4)));
    EXPECT_TRUE(HasFirstFrame(Recording(frame, 0xffffffff)));
    EXPECT_TRUE(HasFirstFrame(Completed(frame)));
}

TEST(AviProgress, AFrameOutsideTheMovieListOrAFileThatIsNoAviIsNotCounted) {
    const std::string frame = Chunk("00dc", std::string(10, 'x'));
    EXPECT_FALSE(HasFirstFrame(""));
    EXPECT_FALSE(HasFirstFrame("RIFF" + U32(100) + "WAVE" + Chunk("LIST", "movi" + frame)));
    // A frame-like chunk in the header list is no frame.
    EXPECT_FALSE(HasFirstFrame("RIFF" + U32(0xffffffff) + "AVI " + Chunk("LIST", "hdrl" + frame)));
}

TEST(AviProgress, OnlyAFileWithItsSizeAndIndexWrittenIsComplete) {
    const std::string frames = Chunk("00dc", std::string(11, 'x')) + Chunk("00dc", "");
    EXPECT_TRUE(IsCompleteAvi(Completed(frames)));
    EXPECT_FALSE(IsCompleteAvi(Recording(frames)));
    EXPECT_FALSE(IsCompleteAvi(Completed(frames, false)));
    // Cut short, or with bytes after the end its size gives.
    const std::string whole = Completed(frames);
    EXPECT_FALSE(IsCompleteAvi(whole.substr(0, whole.size() - 2)));
    EXPECT_FALSE(IsCompleteAvi(whole + "ab"));
    EXPECT_FALSE(IsCompleteAvi(""));
}
