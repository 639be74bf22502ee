// vardocle-record on a disk that fills up, on a small file system of the
// test's own: the recording stops by itself, the file kept plays for as long
// as the message says, its sound stays until it is in the video, and a disk
// without room or a read-only one refuses the start.
#include "tests/support/SmallDisk.h"
#include "tests/support/TestSupport.h"

#include <QRegularExpression>

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

using namespace vardocle::test;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

QString Q(const fs::path& path) {
    return QString::fromStdString(path.string());
}

ProcessResult Record(const QStringList& arguments) {
    return RunProcess(Q(BinDir() / "vardocle-record"), arguments, 90s);
}

// The length the closing message gives the kept file, -1 when it gives none.
double KeptSeconds(const QByteArray& err) {
    const auto match = QRegularExpression(QStringLiteral("时长 ([0-9.]+) 秒")).match(QString(err));
    return match.hasMatch() ? match.captured(1).toDouble() : -1;
}

double Duration(const QJsonObject& stream) {
    return stream.value("duration").toString().toDouble();
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class FullDiskRecord : public ::testing::Test {
protected:
    void SetUp() override {
        VARDOCLE_REQUIRE_DISPLAY();
        VARDOCLE_REQUIRE_SMALL_DISK(Disk);
    }
    // What every disk-full ending promises: the user hears of it, the file
    // kept is complete and lasts what the message says, the sound file stays
    // with a complete header, nothing half-written is left.
    void ExpectKeptWithSoundBeside(const ProcessResult& run, const fs::path& avi,
                                   double atLeastSeconds) {
        ASSERT_FALSE(run.TimedOut) << "the recording did not stop by itself";
        EXPECT_EQ(run.ExitCode, 1);
        const QString err = QString::fromUtf8(run.Err);
        EXPECT_TRUE(err.contains(QStringLiteral("磁盘已满"))) << err.toStdString();
        EXPECT_TRUE(err.contains(Q(avi))) << "the message names the file kept";
        const QJsonObject video = ProbeStream(avi, "video");
        ASSERT_FALSE(video.isEmpty()) << "the kept file cannot be read";
        const double seconds = Duration(video);
        EXPECT_GT(seconds, atLeastSeconds);
        EXPECT_NEAR(KeptSeconds(run.Err), seconds, 0.05) << err.toStdString();
        const fs::path wav = fs::path(avi).replace_extension(".Wav");
        ASSERT_TRUE(fs::exists(wav)) << "the sound file went before its sound was in the video";
        const QJsonObject sound = ProbeStream(wav, "audio");
        ASSERT_FALSE(sound.isEmpty());
        // The sound lasts the video's time, less what its buffer lost at the end.
        EXPECT_NEAR(Duration(sound), seconds, 1.5);
        EXPECT_FALSE(fs::exists(Q(avi).toStdString() + ".merging"));
    }

    TSmallDisk Disk{40};
};

} // namespace

TEST_F(FullDiskRecord, TheDiskFillingDuringTheVideoKeepsACompleteFileAndItsSound) {
    const fs::path avi = Disk / "busy.avi";
    ProcessResult run;
    {
        const TChangingScreen changing;
        // Uncompressed frames fill 40 MB in about 11 s.
        run = Record(
            {Q(avi), "--seconds", "60", "--rate", "5", "--size", "640x360", "--codec", "raw"});
    }
    ExpectKeptWithSoundBeside(run, avi, 5.0);
    // Every frame up to the failure decodes; none was cut in half.
    const ProcessResult decoded =
        RunProcess("ffmpeg", {"-v", "error", "-i", Q(avi), "-f", "null", "-"});
    EXPECT_EQ(decoded.ExitCode, 0);
    EXPECT_TRUE(decoded.Err.isEmpty()) << decoded.Err.toStdString();

    // Room again: the next recording on the same disk is whole, with sound.
    fs::remove(avi);
    fs::remove(Disk / "busy.Wav");
    const fs::path next = Disk / "next.avi";
    const ProcessResult again = Record({Q(next), "--seconds", "2", "--size", "320x180"});
    EXPECT_EQ(again.ExitCode, 0) << again.Err.toStdString();
    EXPECT_FALSE(ProbeStream(next, "audio").isEmpty());
    EXPECT_FALSE(fs::exists(Disk / "next.Wav"));
}

TEST_F(FullDiskRecord, TheDiskFillingDuringTheSoundKeepsTheVideoAndMergesOnceThereIsRoom) {
    // A still screen writes almost nothing; the sound fills the last 3 MB.
    Disk.FillLeaving(3 << 20);
    const fs::path avi = Disk / "quiet.avi";
    const ProcessResult run = Record({Q(avi), "--seconds", "60", "--size", "320x180"});
    ExpectKeptWithSoundBeside(run, avi, 5.0);
    const double video = Duration(ProbeStream(avi, "video"));

    fs::remove(Disk / "filler");
    const ProcessResult repaired = Record({"--repair", Q(avi)});
    EXPECT_EQ(repaired.ExitCode, 0) << repaired.Out.toStdString();
    const QJsonObject sound = ProbeStream(avi, "audio");
    ASSERT_FALSE(sound.isEmpty()) << "the sound was not merged once there was room";
    EXPECT_FALSE(fs::exists(Disk / "quiet.Wav"));
    EXPECT_NEAR(Duration(ProbeStream(avi, "video")), video, 0.01);
}

TEST_F(FullDiskRecord, ADiskWithoutRoomOrReadOnlyRefusesTheStartAndKeepsAnOldFile) {
    const fs::path old = Disk / "old.avi";
    std::ofstream(old) << "an older recording";
    Disk.FillLeaving(0);
    const ProcessResult full = Record({Q(Disk / "new.avi"), "--seconds", "2"});
    EXPECT_EQ(full.ExitCode, 1);
    EXPECT_TRUE(QString::fromUtf8(full.Err).contains(QStringLiteral("磁盘已满")))
        << full.Err.toStdString();
    EXPECT_FALSE(fs::exists(Disk / "new.avi"));
    EXPECT_FALSE(fs::exists(Disk / "new.Wav"));

    fs::remove(Disk / "filler");
    ASSERT_TRUE(Disk.MakeReadOnly());
    const ProcessResult readOnly = Record({Q(old), "--seconds", "2"});
    EXPECT_EQ(readOnly.ExitCode, 1);
    EXPECT_TRUE(QString::fromUtf8(readOnly.Err).contains(QStringLiteral("只读")))
        << readOnly.Err.toStdString();
    EXPECT_EQ(ReadFile(old), "an older recording");
}
