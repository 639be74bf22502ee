// What a repair tells and leaves in the cases around the rebuild: a sound
// file that cannot be merged, files that are no regular files, links and
// ownership, leftovers of earlier repairs, recordings with nothing in them.
#include "recovery/AviChunkScanner.h"
#include "recovery/RecordingRepair.h"
#include "tests/support/TestSupport.h"
#include "tests/unit/recovery/RecoveryFiles.h"

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vardocle;
using namespace vardocle::test;
namespace fs = std::filesystem;

namespace {

class RepairOutcome : public ::testing::Test {
protected:
    bool Complete(const fs::path& path) const {
        return ScanAvi(TFileBytes(path.string())).Complete();
    }

    TempDir Dir;
    fs::path Avi = Dir / "rec.avi";
    fs::path Wav = Dir / "rec.Wav";
};

} // namespace

TEST_F(RepairOutcome, ASoundFileThatCannotBeMergedIsLeftAndTheAnswerSaysTheVideoWasRepaired) {
    TBytes damaged(8000, 0x3C);
    std::copy_n("RIFX", 4, damaged.begin());
    for (const bool videoComplete : {false, true}) {
        WriteRecording(Avi, {0, 1, 2, 3}, videoComplete);
        const TBytes avi = ReadBytes(Avi);
        SaveBytes(Wav, damaged);
        const TRepairReport report = RepairRecording(Avi.string());
        EXPECT_EQ(ReadBytes(Wav), damaged) << "the sound file stays as it was";
        EXPECT_NE(report.English.find(Wav.string()), std::string::npos) << report.English;
        if (videoComplete) {
            EXPECT_EQ(report.Outcome, TRepairOutcome::Failed) << report.English;
            EXPECT_EQ(RepairExitStatus(report.Outcome), 1);
            EXPECT_EQ(ReadBytes(Avi), avi) << "exit 1 leaves every file as it was";
        } else {
            EXPECT_EQ(report.Outcome, TRepairOutcome::SoundLeft) << report.English;
            EXPECT_EQ(RepairExitStatus(report.Outcome), 3);
            EXPECT_TRUE(Complete(Avi));
            EXPECT_NE(report.Chinese.find("视频已修复"), std::string::npos) << report.Chinese;
        }
    }
}

TEST_F(RepairOutcome, APipeIsRefusedAtOnceAndNeverOpenedForReading) {
    ASSERT_EQ(::mkfifo(Avi.c_str(), 0600), 0);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(NeedsRepair(Avi.string()));
    EXPECT_FALSE(NothingRecorded(Avi.string()));
    const TRepairReport report = RepairRecording(Avi.string());
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));
    EXPECT_EQ(report.Outcome, TRepairOutcome::Failed);
    EXPECT_NE(report.English.find("named pipe"), std::string::npos) << report.English;
    EXPECT_TRUE(fs::is_fifo(Avi));
}

TEST_F(RepairOutcome, ALinkedRecordingIsRepairedWhereItLiesAndKeepsItsOwnerAndMode) {
    const fs::path real = Dir / "disk" / "rec.avi";
    fs::create_directory(real.parent_path());
    WriteRecording(real, {0, 1, 2, 3, 4}, false);
    WriteKilledWav(Wav, 44100); // the sound beside the name the recorder was given
    fs::create_symlink(real, Avi);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(real.c_str(), 65534, 65534), 0);
    }
    ASSERT_EQ(::chmod(real.c_str(), 0640), 0);

    const TRepairReport report = RepairRecording(Avi.string());
    EXPECT_EQ(report.Outcome, TRepairOutcome::Repaired) << report.English;
    EXPECT_TRUE(report.SoundMerged);
    EXPECT_TRUE(fs::is_symlink(Avi)) << "the link stays a link";
    EXPECT_TRUE(Complete(real));
    EXPECT_FALSE(fs::exists(Wav));
    struct stat info {};
    ASSERT_EQ(::stat(real.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    if (root) {
        EXPECT_EQ(info.st_uid, 65534u);
        EXPECT_EQ(info.st_gid, 65534u);
    }
}

TEST_F(RepairOutcome, CopiesLeftByAnEarlierRepairGoAfterASuccessfulOne) {
    WriteRecording(Avi, {0, 1, 2}, false);
    SaveBytes(Avi.string() + ".repairing", TBytes(100, 1));
    SaveBytes(Wav.string() + ".repairing", TBytes(100, 2));
    const TRepairReport report = RepairRecording(Avi.string());
    EXPECT_EQ(report.Outcome, TRepairOutcome::Repaired) << report.English;
    EXPECT_FALSE(fs::exists(Avi.string() + ".repairing"));
    EXPECT_FALSE(fs::exists(Wav.string() + ".repairing"));
}

TEST_F(RepairOutcome, ARecordingWithNothingInItIsRemovedOnlyWhenAsked) {
    const TBytes stub = Chunk(
        "RIFF", TBytes{'A', 'V', 'I', ' '} + HeaderList() + List("LIST", "movi", {}, 0xFFFFFFFF),
        0xFFFFFFFF);
    SaveBytes(Avi, stub);
    WriteKilledWav(Wav, 30000); // 0.7 s
    EXPECT_TRUE(NothingRecorded(Avi.string()));
    EXPECT_EQ(RepairRecording(Avi.string()).Outcome, TRepairOutcome::NothingRecorded);
    EXPECT_TRUE(fs::exists(Avi));
    TRepairOptions remove;
    remove.RemoveEmpty = true;
    const TRepairReport report = RepairRecording(Avi.string(), nullptr, remove);
    EXPECT_EQ(report.Outcome, TRepairOutcome::Removed) << report.English;
    EXPECT_FALSE(fs::exists(Avi));
    EXPECT_FALSE(fs::exists(Wav));

    // A second of sound is a recording, even without a frame.
    SaveBytes(Avi, stub);
    WriteKilledWav(Wav, 44100);
    EXPECT_FALSE(NothingRecorded(Avi.string()));
    EXPECT_EQ(RepairRecording(Avi.string(), nullptr, remove).Outcome, TRepairOutcome::Failed);
    EXPECT_TRUE(fs::exists(Avi));
    WriteRecording(Avi, {0}, false);
    EXPECT_FALSE(NothingRecorded(Avi.string()));
}
