// The chunk scanner on byte strings built here and on files of our own
// writer: what a killed recorder leaves, cut at any byte, with garbage, and
// sizes that lie.
#include "recovery/AviChunkScanner.h"
#include "recovery/AviRebuild.h"
#include "tests/support/TestSupport.h"
#include "tests/unit/recovery/RecoveryFiles.h"

#include <cstring>
#include <gtest/gtest.h>

using namespace vardocle;
using namespace vardocle::test;

namespace {

constexpr std::uint32_t kUnwritten = 0xFFFFFFFF;

// A recording as a kill leaves it: sizes never written, no index, three
// frames of which the middle one is a repeat (empty) and the last odd-sized.
TBytes KilledFile() {
    const TBytes movi =
        Chunk("00dc", {1, 2, 3, 4, 5}) + Chunk("00dc", {}) + Chunk("00dc", {7, 8, 9});
    return Chunk("RIFF",
                 TBytes{'A', 'V', 'I', ' '} + HeaderList() + List("LIST", "movi", movi, kUnwritten),
                 kUnwritten);
}

TAviScan Scan(const TBytes& bytes, const TAviScanLimits& limits = {}) {
    return ScanAvi(TMemoryBytes(bytes), limits);
}

} // namespace

TEST(AviChunkScanner, AKilledRecordingGivesEveryChunkWithItsEmptyOnesAndHeader) {
    const TAviScan scan = Scan(KilledFile());
    ASSERT_TRUE(scan.IsAvi);
    EXPECT_EQ(scan.Problem, "");
    ASSERT_EQ(scan.Chunks.size(), 3u);
    EXPECT_EQ(scan.Chunks[0].Size, 5u);
    EXPECT_EQ(scan.Chunks[1].Size, 0u) << "a repeated frame keeps its slot";
    EXPECT_EQ(scan.Chunks[2].Offset, scan.Chunks[1].Offset + 8);
    EXPECT_EQ(std::string(scan.Chunks[2].Type, 2), "dc");
    ASSERT_EQ(scan.Streams.size(), 1u);
    EXPECT_EQ(scan.Streams[0].Rate, 5u);
    EXPECT_EQ(scan.Streams[0].Format.size(), 40u);
    EXPECT_EQ(scan.HeaderFrames, 0u);
    EXPECT_FALSE(scan.SizesComplete);
    EXPECT_FALSE(scan.Complete());
    EXPECT_FALSE(scan.ChunkCutOff);
    EXPECT_EQ(ScannedVideoMs(scan), 600);
}

TEST(AviChunkScanner, ACutAtAnyByteKeepsTheWholeChunksBeforeItAndNotesTheCut) {
    const TBytes whole = KilledFile();
    const std::size_t moviData = Scan(whole).Chunks[0].Offset - 8;
    for (std::size_t length = 0; length < whole.size(); ++length) {
        const TBytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
        const TAviScan scan = Scan(cut);
        for (const TAviChunk& chunk : scan.Chunks)
            EXPECT_LE(chunk.Offset + chunk.Size, static_cast<std::int64_t>(length)) << length;
        if (length < 12) {
            EXPECT_FALSE(scan.IsAvi) << length;
        } else if (length > moviData) {
            // Chunk ends (data, without the padding byte): +13, +22, +33.
            const std::size_t at = length - moviData;
            EXPECT_EQ(scan.Chunks.size(), at >= 33   ? 3u
                                          : at >= 22 ? 2u
                                          : at >= 13 ? 1u
                                                     : 0u)
                << length;
            EXPECT_EQ(scan.ChunkCutOff, at != 13 && at != 14 && at != 22 && at != 33) << length;
        }
    }
}

TEST(AviChunkScanner, GarbageAfterTheLastChunkIsNotedAndLeftOut) {
    TBytes bytes = KilledFile() + TBytes(100, 0) + TBytes{'x', 0x01, 0xFF};
    const TAviScan scan = Scan(bytes);
    EXPECT_EQ(scan.Chunks.size(), 3u);
    EXPECT_EQ(scan.GarbageOffset, static_cast<std::int64_t>(KilledFile().size()));
    EXPECT_EQ(scan.GarbageBytes, 103);
    EXPECT_FALSE(scan.Complete());
}

TEST(AviChunkScanner, LyingSizesNeitherAllocateNorReadPastTheEnd) {
    // A format claiming 4 GB, a chunk claiming more than the file holds.
    TBytes strl = List("LIST", "strl", Chunk("strf", TBytes(8, 1), 0xFFFFFF00));
    TBytes bytes = Chunk("RIFF", TBytes{'A', 'V', 'I', ' '} + List("LIST", "hdrl", strl) +
                                     List("LIST", "movi", Chunk("00dc", {1, 2}, 0x7FFFFFFF)));
    const TAviScan scan = Scan(bytes);
    EXPECT_TRUE(scan.IsAvi);
    EXPECT_TRUE(scan.Chunks.empty());
    EXPECT_TRUE(scan.ChunkCutOff);
    for (const TAviStreamHeader& stream : scan.Streams)
        EXPECT_TRUE(stream.Format.empty());

    TAviScanLimits few;
    few.MaxChunks = 2;
    EXPECT_NE(Scan(KilledFile(), few).Problem, "") << "more chunks than allowed are refused";
}

TEST(AviChunkScanner, TheSegmentsOfALargeFileAreReadInTurn) {
    const TBytes first =
        Chunk("RIFF", TBytes{'A', 'V', 'I', ' '} + HeaderList() +
                          List("LIST", "movi", Chunk("00dc", {1}) + Chunk("ix00", TBytes(24, 0))) +
                          Chunk("idx1", TBytes(16, 0)));
    const TBytes second =
        Chunk("RIFF",
              TBytes{'A', 'V', 'I', 'X'} +
                  List("LIST", "movi", Chunk("00dc", {2, 2}) + Chunk("00dc", {}), kUnwritten),
              kUnwritten);
    const TAviScan scan = Scan(first + second);
    EXPECT_EQ(scan.Segments, 2);
    ASSERT_EQ(scan.Chunks.size(), 3u);
    EXPECT_EQ(scan.Chunks[1].Size, 2u);
    EXPECT_TRUE(scan.HaveIndex);
    EXPECT_TRUE(scan.HaveSegmentIndex);
    EXPECT_FALSE(scan.Complete()) << "the last segment was never completed";
}

TEST(AviChunkScanner, WhatIsNoAviIsSaidSo) {
    EXPECT_FALSE(Scan({}).IsAvi);
    EXPECT_FALSE(Scan(Chunk("RIFF", {'W', 'A', 'V', 'E'})).IsAvi);
    const TAviScan headerOnly = Scan(Chunk("RIFF", TBytes{'A', 'V', 'I', ' '} + HeaderList()));
    EXPECT_TRUE(headerOnly.IsAvi);
    EXPECT_NE(headerOnly.Problem, "") << "no movi list: nothing to repair";
}

TEST(AviChunkScanner, FilesOfOurWriterAreCompleteOnlyWhenFinished) {
    TempDir dir;
    WriteRecording(dir / "done.avi", {0, 1, 2, 5}, true);
    WriteRecording(dir / "killed.avi", {0, 1, 2, 5}, false);
    for (const bool headersOnly : {false, true}) {
        TAviScanLimits limits;
        limits.HeadersOnly = headersOnly;
        const TAviScan done = ScanAvi(TFileBytes((dir / "done.avi").string()), limits);
        const TAviScan killed = ScanAvi(TFileBytes((dir / "killed.avi").string()), limits);
        EXPECT_TRUE(done.Complete()) << headersOnly;
        EXPECT_FALSE(killed.Complete()) << headersOnly;
    }
    const TAviScan killed = ScanAvi(TFileBytes((dir / "killed.avi").string()));
    EXPECT_EQ(killed.Chunks.size(), 6u) << "slots 3 and 4 are empty chunks";
    EXPECT_EQ(killed.Chunks[3].Size, 0u);
}

TEST(AviChunkScanner, AnH264PictureIsAKeyFrameOnlyWithAnIdrSlice) {
    const TBytes idr{0, 0, 0, 1, 0x67, 1, 2, 0, 0, 1, 0x68, 3, 0, 0, 1, 0x65, 9};
    const TBytes later{0, 0, 0, 1, 0x09, 0x10, 0, 0, 1, 0x41, 9, 0, 0, 1, 0x65};
    EXPECT_TRUE(H264HasIdr(idr.data(), idr.size()));
    EXPECT_FALSE(H264HasIdr(later.data(), later.size())) << "an IDR after the first slice";
    EXPECT_FALSE(H264HasIdr(idr.data(), 3));
}

namespace {

// A merged recording: video stream 0, 16-bit stereo sound stream 1, frames
// and sound chunks in turn, closed with an index (offsets from "movi").
TBytes SoundStreamList() {
    TBytes strh{'a', 'u', 'd', 's'};
    strh.resize(56, 0);
    TBytes strf{1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0, 4, 0, 16, 0};
    return List("LIST", "strl", Chunk("strh", strh) + Chunk("strf", strf));
}

struct TMergedFile {
    TBytes Bytes;
    std::size_t MoviData = 0; // where the first chunk's header lies
    std::vector<std::size_t> Headers;
};

TMergedFile MergedFile(bool withIndex) {
    TBytes hdrl = HeaderList();
    const TBytes strl = SoundStreamList();
    hdrl.insert(hdrl.end(), strl.begin(), strl.end());
    const std::uint32_t hdrlSize = static_cast<std::uint32_t>(hdrl.size() - 8);
    std::memcpy(hdrl.data() + 4, &hdrlSize, 4);
    hdrl[20 + 16] = 3; // the main header's frame count, as a finished file has it
    TBytes movi;
    TBytes index;
    std::vector<std::size_t> at;
    for (int n = 0; n < 6; ++n) {
        const bool video = n % 2 == 0;
        at.push_back(movi.size());
        const std::uint32_t entry[4] = {
            0, video ? 0x10u : 0u, static_cast<std::uint32_t>(movi.size() + 4), video ? 6u : 40u};
        const std::string id = video ? "00dc" : "01wb";
        movi = movi + Chunk(id, TBytes(video ? 6 : 40, static_cast<std::uint8_t>(n + 1)));
        index.insert(index.end(), id.begin(), id.end());
        index.insert(index.end(), reinterpret_cast<const std::uint8_t*>(entry) + 4,
                     reinterpret_cast<const std::uint8_t*>(entry) + 16);
    }
    TMergedFile file;
    const TBytes head = TBytes{'A', 'V', 'I', ' '} + hdrl;
    file.Bytes = Chunk("RIFF", head + List("LIST", "movi", movi) +
                                   (withIndex ? Chunk("idx1", index) : TBytes{}));
    file.MoviData = 8 + head.size() + 12;
    for (const std::size_t offset : at)
        file.Headers.push_back(file.MoviData + offset);
    return file;
}

} // namespace

TEST(AviChunkScanner, DamageInsideTheMovieIsSkippedAndEveryChunkAfterItKept) {
    for (const bool withIndex : {false, true}) {
        const TMergedFile whole = MergedFile(withIndex);
        ASSERT_EQ(Scan(whole.Bytes).Chunks.size(), 6u);
        EXPECT_EQ(Scan(whole.Bytes).Complete(), withIndex);
        // One flipped byte in the third chunk's id; its size still leads on.
        TBytes flipped = whole.Bytes;
        flipped[whole.Headers[2] + 1] ^= 0x40;
        TAviScan scan = Scan(flipped);
        ASSERT_EQ(scan.Skipped.size(), 1u) << withIndex;
        EXPECT_EQ(scan.Skipped[0].Offset, static_cast<std::int64_t>(whole.Headers[2]));
        EXPECT_FALSE(scan.Complete());
        ASSERT_EQ(scan.Chunks.size(), withIndex ? 6u : 5u) << "the index names the lost chunk";
        EXPECT_EQ(scan.Chunks.back().Offset, static_cast<std::int64_t>(whole.Headers[5] + 8));
        if (withIndex) {
            EXPECT_TRUE(scan.Chunks[2].Lost);
            EXPECT_EQ(scan.Chunks[2].Stream, 0);
            EXPECT_EQ(scan.ChunkCount(0), 3) << "the lost frame keeps its slot";
        }
        // Zeros over the second and third chunks.
        TBytes zeros = whole.Bytes;
        std::fill(zeros.begin() + static_cast<std::ptrdiff_t>(whole.Headers[1]),
                  zeros.begin() + static_cast<std::ptrdiff_t>(whole.Headers[3] - 2), 0);
        scan = Scan(zeros);
        ASSERT_EQ(scan.Skipped.size(), 1u);
        EXPECT_EQ(scan.Skipped[0].Bytes,
                  static_cast<std::int64_t>(whole.Headers[3] - whole.Headers[1]));
        EXPECT_EQ(scan.Chunks.size(), withIndex ? 6u : 4u);
        EXPECT_EQ(scan.Chunks[0].Size, 6u);
    }
}

TEST(AviChunkScanner, AnIndexThatDisagreesWithTheChunksMakesTheFileIncomplete) {
    const TMergedFile whole = MergedFile(true);
    const std::size_t index = whole.Bytes.size() - 6 * 16;
    for (const std::size_t field : {1, 8, 12}) { // the id, the offset, the size
        TBytes damaged = whole.Bytes;
        damaged[index + 3 * 16 + field] ^= 0x02;
        const TAviScan scan = Scan(damaged);
        EXPECT_TRUE(scan.IndexMismatch) << field;
        EXPECT_FALSE(scan.Complete()) << field;
        EXPECT_EQ(scan.Chunks.size(), 6u) << "the chunks themselves are whole";
    }
    TBytes notKey = whole.Bytes;
    notKey[index + 4] = 0; // the first frame is no longer a key frame
    EXPECT_TRUE(Scan(notKey).IndexMismatch);
}

TEST(AviChunkScanner, ASoundChunkCutOffKeepsItsWholeSamples) {
    const TMergedFile whole = MergedFile(false);
    // 8 bytes of header and 23 of the last sound chunk's 40: 5 whole samples.
    const TBytes cut(whole.Bytes.begin(),
                     whole.Bytes.begin() + static_cast<std::ptrdiff_t>(whole.Headers[5] + 8 + 23));
    const TAviScan scan = Scan(cut);
    EXPECT_TRUE(scan.ChunkCutOff);
    ASSERT_EQ(scan.Chunks.size(), 6u);
    EXPECT_EQ(scan.Chunks.back().Size, 20u);
}
