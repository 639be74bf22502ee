// Repairs of real recordings written by our own writer and left as a kill
// leaves them, read back with ffprobe; and the files that must be refused
// and left exactly as they were.
#include "recovery/RecordingRepair.h"
#include "recovery/AviChunkScanner.h"
#include "recovery/WavRepair.h"
#include "tests/support/SoundAnalysis.h"
#include "tests/support/TestSupport.h"
#include "tests/unit/recovery/RecoveryFiles.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/resource.h>

using namespace vardocle;
using namespace vardocle::test;
namespace fs = std::filesystem;

namespace {

class RecordingRepair : public ::testing::Test {
protected:
    TRepairReport Repair() { return RepairRecording(Avi.string()); }
    TAviScan ScanFile(const fs::path& path) const { return ScanAvi(TFileBytes(path.string())); }
    // Whatever the outcome, the files that the repair could not use stay as they were.
    void ExpectRefusedAndUntouched(const TBytes& avi,
                                   TRepairOutcome expected = TRepairOutcome::Failed) {
        SaveBytes(Avi, avi);
        WriteKilledWav(Wav, 4410);
        const TBytes wav = ReadBytes(Wav);
        const TRepairReport report = Repair();
        EXPECT_EQ(report.Outcome, expected) << report.English;
        EXPECT_NE(report.English.find(Avi.string()), std::string::npos) << report.English;
        EXPECT_NE(report.Chinese.find(Avi.string()), std::string::npos) << report.Chinese;
        EXPECT_EQ(ReadBytes(Avi), avi);
        EXPECT_EQ(ReadBytes(Wav), wav);
        EXPECT_FALSE(fs::exists(Avi.string() + ".repairing"));
    }

    TempDir Dir;
    fs::path Avi = Dir / "rec.avi";
    fs::path Wav = Dir / "rec.Wav";
};

} // namespace

TEST_F(RecordingRepair, AKilledRecordingGetsItsIndexCountsAndTimingBack) {
    WriteRecording(Avi, {0, 1, 2, 6, 7}, false); // slots 3-5 repeat frame 2
    EXPECT_TRUE(NeedsRepair(Avi.string()));
    const TAviScan before = ScanFile(Avi);

    const TRepairReport report = Repair();
    EXPECT_EQ(report.Outcome, TRepairOutcome::Repaired) << report.English;
    EXPECT_EQ(report.VideoMs, 1600);
    EXPECT_FALSE(report.SoundMerged);
    EXPECT_FALSE(NeedsRepair(Avi.string()));

    const QJsonObject video = ProbeStream(Avi, "video");
    EXPECT_EQ(video["nb_frames"].toString(), "8") << "the header counts every slot";
    EXPECT_EQ(video["nb_read_frames"].toString(), "5");
    EXPECT_NEAR(video["duration"].toString().toDouble(), 1.6, 0.01);
    EXPECT_EQ(video["codec_name"].toString(), "rawvideo");

    // The pictures are the very bytes of the killed file, in their slots.
    const TAviScan after = ScanFile(Avi);
    ASSERT_TRUE(after.Complete());
    ASSERT_EQ(after.Chunks.size(), before.Chunks.size());
    const TBytes repaired = ReadBytes(Avi);
    for (std::size_t i = 0; i < after.Chunks.size(); ++i) {
        ASSERT_EQ(after.Chunks[i].Size, before.Chunks[i].Size) << i;
        if (after.Chunks[i].Size > 0) {
            EXPECT_EQ(repaired[static_cast<std::size_t>(after.Chunks[i].Offset)], i) << i;
        }
    }
    EXPECT_EQ(Repair().Outcome, TRepairOutcome::AlreadyComplete)
        << "a second repair changes nothing";
}

TEST_F(RecordingRepair, AChunkCutOffOrGarbageAtTheEndIsDroppedAndTheRestKept) {
    WriteRecording(Avi, {0, 1, 2, 3}, false);
    TBytes bytes = ReadBytes(Avi);
    for (const bool garbage : {false, true}) {
        TBytes damaged(bytes.begin(), bytes.end() - 50); // into the last frame
        if (garbage)
            damaged = bytes + TBytes(777, 0xEE);
        SaveBytes(Avi, damaged);
        const TRepairReport report = Repair();
        EXPECT_EQ(report.Outcome, TRepairOutcome::Repaired) << report.English;
        EXPECT_EQ(report.VideoMs, garbage ? 800 : 600) << garbage;
        EXPECT_EQ(ProbeStream(Avi, "video")["nb_read_frames"].toString(), garbage ? "4" : "3");
        EXPECT_NE(report.English.find(garbage ? "777 unreadable bytes" : "cut off"),
                  std::string::npos)
            << report.English;
    }
}

TEST_F(RecordingRepair, RepeatedFramesBeforeAFrameCutOffKeepTheirTime) {
    WriteRecording(Avi, {0, 1, 2, 6}, false);
    const TBytes bytes = ReadBytes(Avi);
    SaveBytes(Avi, TBytes(bytes.begin(), bytes.end() - 10)); // slot 6 cut off, 3-5 kept
    const TRepairReport report = Repair();
    EXPECT_EQ(report.Outcome, TRepairOutcome::Repaired) << report.English;
    EXPECT_EQ(report.VideoMs, 1200);
    const QJsonObject video = ProbeStream(Avi, "video");
    EXPECT_EQ(video["nb_frames"].toString(), "6");
    EXPECT_NEAR(video["duration"].toString().toDouble(), 1.2, 0.01);
    EXPECT_EQ(ScanFile(Avi).Chunks.size(), 6u);
}

TEST_F(RecordingRepair, TheSoundIsMergedAndItsFileRemovedOnlyThen) {
    WriteRecording(Avi, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, false); // 2 s of video
    WriteKilledWav(Wav, 44100 + 22050, 3);                      // 1.5 s and half a sample frame
    const TRepairReport report = Repair();
    ASSERT_EQ(report.Outcome, TRepairOutcome::Repaired) << report.English;
    EXPECT_TRUE(report.SoundMerged);
    EXPECT_FALSE(fs::exists(Wav));
    EXPECT_FALSE(fs::exists(Avi.string() + ".merging"));
    const QJsonObject audio = ProbeStream(Avi, "audio");
    EXPECT_EQ(audio["codec_name"].toString(), "pcm_s16le");
    // The lost end (within what a killed recorder loses) is silence, so the
    // sound ends with the video.
    EXPECT_NEAR(audio["nb_frames"].toString().toDouble() / 44100, 2.0, 0.01);
    EXPECT_NE(report.Chinese.find("已把声音（2.0 秒）合并进视频"), std::string::npos)
        << report.Chinese;
}

TEST_F(RecordingRepair, AKilledMergeIsMadeAgainFromTheFilesBeforeIt) {
    WriteRecording(Avi, {0, 1, 2, 3, 4}, true);
    WriteKilledWav(Wav, 44100);
    const fs::path merging = Avi.string() + ".merging";
    SaveBytes(merging, TBytes(5000, 1)); // a half-written copy
    EXPECT_TRUE(NeedsRepair(Avi.string()));
    const TRepairReport report = Repair();
    EXPECT_EQ(report.Outcome, TRepairOutcome::Repaired) << report.English;
    EXPECT_FALSE(fs::exists(merging));
    EXPECT_FALSE(fs::exists(Wav));
    EXPECT_NEAR(ProbedAudioSeconds(Avi), 1.0, 0.01);
    EXPECT_FALSE(NeedsRepair(Avi.string()));
}

TEST_F(RecordingRepair, ASoundFileLeftAfterACompletedMergeIsRemoved) {
    WriteRecording(Avi, {0, 1, 2, 3, 4}, true);
    WriteKilledWav(Wav, 44100);
    ASSERT_EQ(Repair().Outcome, TRepairOutcome::Repaired);
    WriteKilledWav(Wav, 44100); // killed after the merge, before the removal
    const TBytes merged = ReadBytes(Avi);
    const TRepairReport report = Repair();
    EXPECT_EQ(report.Outcome, TRepairOutcome::Repaired) << report.English;
    EXPECT_TRUE(report.SoundMerged);
    EXPECT_FALSE(fs::exists(Wav));
    EXPECT_EQ(ReadBytes(Avi), merged);
}

TEST_F(RecordingRepair, ASoundFileHeaderGetsTheSizesOfItsWholeFrames) {
    WriteKilledWav(Wav, 1000, 2);
    TWavInspection wav = InspectWav(Wav.string());
    ASSERT_TRUE(wav.Readable) << wav.Problem;
    EXPECT_FALSE(wav.HeaderComplete);
    EXPECT_EQ(wav.DataBytes, 4000);
    EXPECT_EQ(wav.CutBytes, 2);
    std::string error;
    ASSERT_TRUE(RepairWav(Wav.string(), wav, error)) << error;
    const TBytes repaired = ReadBytes(Wav);
    ASSERT_EQ(repaired.size(), 4044u) << "the half frame is dropped";
    EXPECT_EQ(repaired[4] | (repaired[5] << 8), 4036);
    EXPECT_EQ(repaired[40] | (repaired[41] << 8), 4000);
    wav = InspectWav(Wav.string());
    EXPECT_TRUE(wav.HeaderComplete);
    ASSERT_TRUE(RepairWav(Wav.string(), wav, error));
    EXPECT_EQ(ReadBytes(Wav), repaired) << "a complete file is left alone";
    // Killed before its header reached the disk, or cut inside it.
    for (const std::size_t size : {0, 3, 20}) {
        SaveBytes(Wav,
                  TBytes(repaired.begin(), repaired.begin() + static_cast<std::ptrdiff_t>(size)));
        EXPECT_TRUE(InspectWav(Wav.string()).NoSound) << size;
    }
    SaveBytes(Wav, TBytes(20, 'x'));
    EXPECT_FALSE(InspectWav(Wav.string()).NoSound) << "other bytes are not a sound file";
}

TEST_F(RecordingRepair, ASoundFileKilledBeforeItsHeaderGoesWithTheVideoRepaired) {
    WriteRecording(Avi, {0, 1}, false);
    SaveBytes(Wav, {});
    const TRepairReport report = Repair();
    EXPECT_EQ(report.Outcome, TRepairOutcome::Repaired) << report.English;
    EXPECT_FALSE(fs::exists(Wav));
    EXPECT_FALSE(report.SoundMerged);
}

TEST_F(RecordingRepair, WhatCannotBeRepairedIsRefusedAndLeftByteForByte) {
    TBytes random(4096);
    for (std::size_t i = 0; i < random.size(); ++i)
        random[i] = static_cast<std::uint8_t>(i * 7919 % 251);
    ExpectRefusedAndUntouched(random);
    // Killed before a frame reached the file (0.1 s of sound): nothing was
    // recorded, and without being asked to remove it the files stay.
    const TRepairOutcome nothing = TRepairOutcome::NothingRecorded;
    ExpectRefusedAndUntouched({}, nothing);
    ExpectRefusedAndUntouched(Chunk("RIFF", TBytes{'A', 'V', 'I', ' '} + HeaderList()), nothing);
    ExpectRefusedAndUntouched(
        Chunk("RIFF",
              TBytes{'A', 'V', 'I', ' '} + HeaderList() + List("LIST", "movi", {}, 0xFFFFFFFF),
              0xFFFFFFFF),
        nothing);
    fs::remove(Avi);
    EXPECT_EQ(Repair().Outcome, TRepairOutcome::Failed) << "a missing file";
}

TEST_F(RecordingRepair, AFileThatCannotBeWrittenLeavesTheRecordingAsItWas) {
    WriteRecording(Avi, {0, 1, 2}, false);
    WriteKilledWav(Wav, 4410);
    const TBytes avi = ReadBytes(Avi);
    fs::create_directory(Avi.string() + ".repairing"); // the new file's name is taken
    const TRepairReport report = Repair();
    EXPECT_EQ(report.Outcome, TRepairOutcome::Failed);
    EXPECT_NE(report.English.find("Cannot create file"), std::string::npos) << report.English;
    EXPECT_EQ(ReadBytes(Avi), avi);
    EXPECT_TRUE(fs::exists(Wav));
}

TEST_F(RecordingRepair, AFullDiskDuringTheRepairLeavesTheRecordingAsItWas) {
    std::vector<int> frames(40);
    for (int i = 0; i < 40; ++i)
        frames[i] = i;
    WriteRecording(Avi, frames, false);
    const TBytes avi = ReadBytes(Avi);
    // A write limit below the repaired file's size fails its writes as a full disk does.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit limit = old;
    limit.rlim_cur = avi.size() / 2;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    const TRepairReport report = Repair();
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(report.Outcome, TRepairOutcome::Failed);
    EXPECT_NE(report.English.find("the file was left as it was"), std::string::npos)
        << report.English;
    EXPECT_EQ(ReadBytes(Avi), avi);
    EXPECT_FALSE(fs::exists(Avi.string() + ".repairing"));
}
