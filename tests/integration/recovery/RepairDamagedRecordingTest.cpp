// Real recordings of vardocle-record, with their sound, damaged as disks and
// copies damage files, then `--repair`: what FFmpeg plays of the repaired
// file is never less than what it played of the damaged one, and a file that
// cannot be bettered is left byte for byte.
#include "recovery/AviChunkScanner.h"
#include "tests/support/ProgramPaths.h"
#include "tests/support/TestSupport.h"

#include <QFile>
#include <QProcess>

#include <algorithm>
#include <gtest/gtest.h>

using namespace vardocle;
using namespace std::chrono_literals;
using vardocle::test::Q;
namespace fs = std::filesystem;

namespace {

QByteArray ReadAll(const fs::path& path) {
    QFile file(Q(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const fs::path& path, const QByteArray& bytes) {
    QFile file(Q(path));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

struct TPlayed {
    int Slots = 0;           // up to the last picture FFmpeg reads
    double SoundSeconds = 0; // the sound FFmpeg decodes
};

class RepairDamagedRecording : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!test::HaveDisplay() || test::RunProcess("pactl", {"info"}, 10s).ExitCode != 0)
            return;
        // One recording for every case: 5 s at 5 frames a second, with sound,
        // the pointer moving all the while, so that most slots hold a picture
        // (a still screen is one picture and repeats).
        QProcess pointer;
        pointer.start("sh", {"-c", "i=0; while [ $i -lt 80 ]; do xdotool mousemove "
                                   "$((100 + i * 4)) $((100 + i * 2)); sleep 0.1; "
                                   "i=$((i + 1)); done"});
        const test::ProcessResult made =
            test::RunProcess(Q(test::BinDir() / "vardocle-record"),
                             {Q(Made()), "--seconds", "5", "--rate", "5", "--size", "320x240",
                              "--codec", "h264", "--cursor", "on"},
                             60s);
        pointer.kill();
        pointer.waitForFinished();
        if (made.ExitCode != 0)
            ADD_FAILURE() << made.Err.toStdString();
    }
    static fs::path Made() { return fs::temp_directory_path() / "vardocle-damage-source.avi"; }
    static void TearDownTestSuite() { fs::remove(Made()); }

    void SetUp() override {
        if (!fs::exists(Made())) {
            if (test::DesktopPromised())
                FAIL() << "no recording although the run promised a desktop";
            GTEST_SKIP() << "needs an X server and a sound server";
        }
        Original = ReadAll(Made());
        Scan = ScanAvi(TFileBytes(Made().string()));
        ASSERT_TRUE(Scan.Complete());
        ASSERT_GT(Scan.ChunkCount(1), 2) << "the recording has its sound interleaved";
    }

    TPlayed Played(const fs::path& file) const {
        TPlayed played;
        const test::ProcessResult packets =
            test::RunProcess("ffprobe", {"-v", "quiet", "-select_streams", "v:0", "-show_entries",
                                         "packet=dts,size", "-of", "csv=p=0", Q(file)});
        for (const QString& line : QString::fromUtf8(packets.Out).split('\n', Qt::SkipEmptyParts)) {
            const QStringList fields = line.split(',');
            if (fields.size() >= 2 && fields[1].toInt() > 0)
                played.Slots = std::max(played.Slots, fields[0].toInt() + 1);
        }
        const fs::path sound = Dir / "sound.raw";
        test::RunProcess("ffmpeg", {"-v", "quiet", "-y", "-i", Q(file), "-map", "0:a", "-f",
                                    "s16le", "-ac", "2", "-ar", "44100", Q(sound)});
        std::error_code ignored;
        played.SoundSeconds = static_cast<double>(fs::file_size(sound, ignored)) / 4 / 44100;
        return played;
    }

    // Damages a copy, repairs it and compares what FFmpeg plays before and after.
    test::ProcessResult DamageAndRepair(const QByteArray& damaged, TPlayed& before,
                                        TPlayed& after) {
        WriteAll(Avi, damaged);
        before = Played(Avi);
        const int errorsBefore = DecodeErrors(Avi);
        const test::ProcessResult repair =
            test::RunProcess(Q(test::BinDir() / "vardocle-record"), {"--repair", Q(Avi)}, 60s);
        after = Played(Avi);
        EXPECT_GE(after.Slots, before.Slots) << repair.Out.toStdString();
        EXPECT_GE(after.SoundSeconds, before.SoundSeconds - 0.001) << repair.Out.toStdString();
        if (repair.ExitCode == 0) {
            // Bytes damaged inside a picture stay damaged (nothing can tell
            // what they were), but the repair never makes decoding worse.
            EXPECT_LE(DecodeErrors(Avi), errorsBefore) << repair.Out.toStdString();
        } else {
            EXPECT_EQ(ReadAll(Avi), damaged) << "a repair that cannot do better changes nothing";
        }
        return repair;
    }

    // The lines of errors FFmpeg reports decoding the whole file.
    static int DecodeErrors(const fs::path& file) {
        const test::ProcessResult decode =
            test::RunProcess("ffmpeg", {"-v", "error", "-i", Q(file), "-f", "null", "-"}, 60s);
        return static_cast<int>(
            QString::fromUtf8(decode.Err).split('\n', Qt::SkipEmptyParts).size());
    }

    // The header of the n-th picture (a frame that is no repeat).
    qsizetype PictureHeader(int n) const {
        for (const TAviChunk& chunk : Scan.Chunks)
            if (chunk.Stream == 0 && chunk.Size > 0 && n-- == 0)
                return static_cast<qsizetype>(chunk.Offset - 8);
        ADD_FAILURE() << "too few pictures";
        return 0;
    }

    test::TempDir Dir;
    fs::path Avi = Dir / "rec.avi";
    QByteArray Original;
    TAviScan Scan;
};

} // namespace

TEST_F(RepairDamagedRecording, AFlippedByteOrZerosInsideTheMovieAreSkippedAndTheRestKept) {
    QByteArray flipped = Original;
    const qsizetype header = PictureHeader(2);
    flipped[header + 1] = static_cast<char>(flipped[header + 1] ^ 0x08);
    TPlayed before;
    TPlayed after;
    test::ProcessResult repair = DamageAndRepair(flipped, before, after);
    EXPECT_EQ(repair.ExitCode, 0) << repair.Out.toStdString();
    EXPECT_NE(QString::fromUtf8(repair.Out).indexOf(QStringLiteral("字节的损坏数据")), -1)
        << repair.Out.toStdString();
    EXPECT_EQ(after.Slots, Played(Made()).Slots) << "every frame after the damage plays";

    QByteArray zeros = Original;
    const qsizetype from = PictureHeader(3) - 100;
    ASSERT_LT(from + 4096, Scan.Chunks.back().Offset);
    std::fill_n(zeros.begin() + from, 4096, '\0');
    repair = DamageAndRepair(zeros, before, after);
    EXPECT_NE(QString::fromUtf8(repair.Out).indexOf(QStringLiteral("字节的损坏数据")), -1)
        << repair.Out.toStdString();
}

TEST_F(RepairDamagedRecording, ACutInsideASoundChunkKeepsItsWholeSamples) {
    const auto sound = std::find_if(Scan.Chunks.rbegin(), Scan.Chunks.rend(),
                                    [](const TAviChunk& chunk) { return chunk.Stream == 1; });
    ASSERT_NE(sound, Scan.Chunks.rend());
    const QByteArray cut = Original.left(static_cast<qsizetype>(sound->Offset + sound->Size / 2));
    TPlayed before;
    TPlayed after;
    const test::ProcessResult repair = DamageAndRepair(cut, before, after);
    EXPECT_EQ(repair.ExitCode, 0) << repair.Out.toStdString();
    EXPECT_GT(before.SoundSeconds, 3.0);
}

TEST_F(RepairDamagedRecording, AFlippedIndexEntryIsFoundAndMended) {
    const auto index = Original.lastIndexOf("idx1");
    ASSERT_GT(index, 0);
    QByteArray damaged = Original;
    damaged[index + 8 + 16 * 7 + 9] = static_cast<char>(damaged[index + 8 + 16 * 7 + 9] ^ 0x10);
    TPlayed before;
    TPlayed after;
    const test::ProcessResult repair = DamageAndRepair(damaged, before, after);
    EXPECT_EQ(repair.ExitCode, 0) << repair.Out.toStdString();
    EXPECT_TRUE(ScanAvi(TFileBytes(Avi.string())).Complete());
    EXPECT_EQ(after.Slots, Played(Made()).Slots);
}

TEST_F(RepairDamagedRecording, APipeIsRefusedAtOnce) {
    const fs::path pipe = Dir / "pipe.avi";
    ASSERT_EQ(test::RunProcess("mkfifo", {Q(pipe)}).ExitCode, 0);
    const auto started = std::chrono::steady_clock::now();
    const test::ProcessResult repair =
        test::RunProcess(Q(test::BinDir() / "vardocle-record"), {"--repair", Q(pipe)}, 10s);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
    EXPECT_EQ(repair.ExitCode, 1);
    EXPECT_NE(QString::fromUtf8(repair.Out).indexOf(QStringLiteral("命名管道")), -1)
        << repair.Out.toStdString();
}
