// Recordings made by vardocle-record on a mostly still screen (most slots
// empty), exported as a user would, and read back with ffmpeg: the picture
// must be the same at every slot (a wrong duration from the empty slots moves
// the colour change), the sound where the recording had it, the index at the
// front; and bad input must be refused with nothing left behind.
#include "export/RecordingExport.h"
#include "tests/integration/export/ExportRecordings.h"
#include "tests/support/SmallDisk.h"

#include <QFile>
#include <QJsonDocument>

#include <fstream>
#include <gtest/gtest.h>
#include <memory>

using namespace vardocle;
using namespace vardocle::test;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr double kSlot = 0.2; // 5 frames a second

class ExportOfRecording : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!HaveDisplay() || RunProcess("pactl", {"info"}, 10s).ExitCode != 0)
            return;
        Folder = std::make_unique<TempDir>();
        H264 = Folder->Path() / "still.avi";
        Mjpeg = Folder->Path() / "odd.avi";
        Made = MakeRecording(H264, {"--codec", "h264", "--size", "320x240"}, 6, 3.0, true) &&
               MakeRecording(Mjpeg, {"--codec", "mjpeg", "--size", "321x241"}, 3, 1.5, false);
    }
    static void TearDownTestSuite() { Folder.reset(); }
    void SetUp() override {
        if (!Folder) {
            if (DesktopPromised())
                FAIL() << "no X server or sound server although the run promised them";
            GTEST_SKIP() << "needs an X server and a sound server";
        }
        ASSERT_TRUE(Made) << "vardocle-record could not make the recordings";
    }
    static ProcessResult Export(const QStringList& arguments) {
        return RunProcess(Q(BinDir() / "vardocle-record"), QStringList{"--export"} + arguments,
                          120s);
    }
    // The same picture at every slot, and the change from blue to red inside.
    static void ExpectSamePictures(const fs::path& avi, const fs::path& exported) {
        const auto before = SlotColours(avi);
        const auto after = SlotColours(exported);
        ASSERT_GT(before.size(), 10u);
        EXPECT_NEAR(double(after.size()), double(before.size()), 1.0);
        int changes = 0;
        for (std::size_t slot = 0; slot < std::min(before.size(), after.size()); ++slot) {
            EXPECT_EQ(IsRed(before[slot]), IsRed(after[slot])) << "slot " << slot;
            changes += slot > 0 && IsRed(before[slot]) != IsRed(before[slot - 1]);
        }
        EXPECT_EQ(changes, 1) << "the recording should turn red once";
    }

    static inline std::unique_ptr<TempDir> Folder;
    static inline fs::path H264, Mjpeg;
    static inline bool Made = false;
};

TEST_F(ExportOfRecording, H264BecomesMp4WithPictureCopiedAndSoundInStep) {
    const ProcessResult run = Export({Q(H264)});
    const fs::path mp4 = Folder->Path() / "still.mp4";
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_NE(run.Err.indexOf("100%"), -1) << run.Err.toStdString();

    const auto boxes = TopBoxes(mp4);
    const auto moov = std::find(boxes.begin(), boxes.end(), "moov");
    const auto mdat = std::find(boxes.begin(), boxes.end(), "mdat");
    ASSERT_TRUE(moov != boxes.end() && mdat != boxes.end());
    EXPECT_LT(moov, mdat) << "the index must come before the data";

    const QJsonObject video = ProbeStream(mp4, "video");
    const QJsonObject audio = ProbeStream(mp4, "audio");
    EXPECT_EQ(video["codec_name"].toString(), "h264");
    EXPECT_EQ(video["pix_fmt"].toString(), "yuv420p");
    EXPECT_EQ(audio["codec_name"].toString(), "aac");
    EXPECT_EQ(audio["channels"].toInt(), 2);
    // Copied, not encoded again: as many pictures as the recording holds.
    EXPECT_EQ(video["nb_read_frames"].toString(),
              ProbeStream(H264, "video")["nb_read_frames"].toString());

    EXPECT_NEAR(FileSeconds(mp4), FileSeconds(H264), kSlot);
    ExpectSamePictures(H264, mp4);

    const auto recorded = SoundEdges(H264);
    const auto exported = SoundEdges(mp4);
    ASSERT_GT(recorded[1] - recorded[0], 1.0) << "the tone is missing from the recording";
    EXPECT_NEAR(exported[0], recorded[0], 0.040);
    EXPECT_NEAR(exported[1], recorded[1], 0.040);
}

TEST_F(ExportOfRecording, MjpegOfOddSizeIsEncodedToPlainH264) {
    const fs::path mp4 = Folder->Path() / "odd-shared.mp4";
    const ProcessResult run = Export({Q(Mjpeg), Q(mp4)});
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    const QJsonObject video = ProbeStream(mp4, "video");
    EXPECT_EQ(video["codec_name"].toString(), "h264");
    EXPECT_EQ(video["pix_fmt"].toString(), "yuv420p");
    EXPECT_EQ(video["width"].toInt(), 322);
    EXPECT_EQ(video["height"].toInt(), 242);
    EXPECT_NEAR(FileSeconds(mp4), FileSeconds(Mjpeg), kSlot);
    ExpectSamePictures(Mjpeg, mp4);
}

TEST_F(ExportOfRecording, MkvKeepsPictureAndSoundAsTheyAre) {
    const fs::path mkv = Folder->Path() / "still.mkv";
    const ProcessResult run = Export({Q(H264), Q(mkv)});
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_EQ(ProbeStream(mkv, "video")["codec_name"].toString(), "h264");
    EXPECT_EQ(ProbeStream(mkv, "audio")["codec_name"].toString(), "pcm_s16le");
    EXPECT_NEAR(FileSeconds(mkv), FileSeconds(H264), kSlot);
    ExpectSamePictures(H264, mkv);
    const auto recorded = SoundEdges(H264);
    const auto kept = SoundEdges(mkv);
    EXPECT_NEAR(kept[0], recorded[0], 0.001);
    EXPECT_NEAR(kept[1], recorded[1], 0.001);
}

// The slot where the recording turns red, -1 when it never does.
int FirstRedSlot(const fs::path& file) {
    const auto colours = SlotColours(file);
    for (std::size_t slot = 0; slot < colours.size(); ++slot)
        if (IsRed(colours[slot]))
            return static_cast<int>(slot);
    return -1;
}

TEST_F(ExportOfRecording, PlaysInARealBrowserWithTheRightPictureAfterASeek) {
    if (RunProcess("chromium", {"--version"}).ExitCode != 0) {
        if (DesktopPromised())
            FAIL() << "chromium is missing (scripts/install-deps installs it)";
        GTEST_SKIP() << "needs chromium";
    }
    TempDir work;
    QStringList arguments{Q(SourceDir() / "tests/integration/export/browser_check.py")};
    std::vector<std::pair<fs::path, int>> files;
    for (const fs::path& avi : {H264, Mjpeg}) {
        const fs::path mp4 = work / (avi.stem().string() + ".mp4");
        ASSERT_EQ(Export({Q(avi), Q(mp4)}).ExitCode, 0);
        const int red = FirstRedSlot(avi);
        ASSERT_GE(red, 3) << avi;
        // The middle of a blue slot before the change and of a red one after.
        arguments
            << Q(mp4)
            << QStringLiteral("%1,%2").arg((red - 2 + 0.5) * kSlot).arg((red + 2 + 0.5) * kSlot);
        files.emplace_back(avi, red);
    }
    const ProcessResult run = RunProcess("python3", arguments, 120s);
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    const QList<QByteArray> lines = run.Out.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 2) << run.Out.toStdString();
    for (std::size_t index = 0; index < files.size(); ++index) {
        const QJsonObject page = QJsonDocument::fromJson(lines[int(index)]).object();
        SCOPED_TRACE(lines[int(index)].toStdString());
        EXPECT_TRUE(page["error"].isNull());
        EXPECT_NEAR(page["duration"].toDouble(), FileSeconds(files[index].first), kSlot);
        const QJsonArray colours = page["colours"].toArray();
        ASSERT_EQ(colours.size(), 2);
        const auto colour = [&](int at) {
            const QJsonArray rgb = colours[at].toArray();
            return std::array<int, 3>{rgb[0].toInt(), rgb[1].toInt(), rgb[2].toInt()};
        };
        EXPECT_FALSE(IsRed(colour(0)));
        EXPECT_TRUE(IsRed(colour(1)));
        EXPECT_TRUE(page["advanced"].toBool());
    }
}

std::size_t Entries(const fs::path& folder) {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

TEST_F(ExportOfRecording, BadInputIsRefusedWithAReasonAndLeavesNothing) {
    TempDir work;
    const fs::path avi = work / "copy.avi";
    fs::copy_file(H264, avi);
    const auto refused = [&](const fs::path& source, const fs::path& target, const char* reason,
                             TExportOptions options = {}) {
        const std::size_t before = Entries(target.parent_path());
        const TExportResult result = ExportRecording(source, target, options);
        EXPECT_EQ(result.Outcome, TExportOutcome::Failed) << target;
        EXPECT_NE(result.Chinese.find(reason), std::string::npos) << result.Chinese;
        EXPECT_EQ(Entries(target.parent_path()), before) << result.English;
        return result;
    };
    std::ofstream(work / "notes.avi") << "not a video at all";
    refused(work / "notes.avi", work / "notes.mp4", "不是 AVI");

    const auto size = fs::file_size(avi);
    fs::copy_file(avi, work / "cut.avi");
    fs::resize_file(work / "cut.avi", size / 2);
    refused(work / "cut.avi", work / "cut.mp4", "请先修复");

    fs::copy_file(avi, work / "sound.avi");
    std::ofstream(work / "sound.Wav") << "RIFF";
    refused(work / "sound.avi", work / "sound.mp4", "请先修复");

    refused(avi, avi, "录像本身");
    refused(avi, work / "copy.webm", ".mp4");

    std::ofstream(work / "taken.mp4") << "keep me";
    EXPECT_TRUE(refused(avi, work / "taken.mp4", "已存在").TargetExists);
    EXPECT_EQ(fs::file_size(work / "taken.mp4"), 7u);
    EXPECT_EQ(ExportRecording(avi, work / "taken.mp4", {.Force = true}).Outcome,
              TExportOutcome::Done);
    EXPECT_GT(fs::file_size(work / "taken.mp4"), 1000u);

    std::atomic<bool> cancel{false};
    const TExportResult cancelled = ExportRecording(
        avi, work / "cancelled.mp4", {}, [&](int) { cancel = true; }, &cancel);
    EXPECT_EQ(cancelled.Outcome, TExportOutcome::Cancelled);
    EXPECT_FALSE(fs::exists(work / "cancelled.mp4"));

    TSmallDisk full(1);
    VARDOCLE_REQUIRE_SMALL_DISK(full);
    full.FillLeaving(16 * 1024);
    refused(avi, full / "full.mp4", "磁盘已满");
    ASSERT_TRUE(full.MakeReadOnly());
    refused(avi, full / "readonly.mp4", "无法写入");

    // The command line: 2 for a bad command line, 1 with the reason otherwise.
    EXPECT_EQ(Export({}).ExitCode, 2);
    const ProcessResult notAvi = Export({Q(work / "notes.avi")});
    EXPECT_EQ(notAvi.ExitCode, 1);
    EXPECT_NE(notAvi.Err.indexOf("not an AVI"), -1) << notAvi.Err.toStdString();
}

} // namespace
