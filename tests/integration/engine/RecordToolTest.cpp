// vardocle-record as a user runs it: on a real X server, read back by ffprobe
// and ffmpeg.
#include "tests/support/TestSupport.h"

#include <QPoint>
#include <QPointF>
#include <QProcess>
#include <QRegularExpression>
#include <QSize>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

using namespace vardocle::test;
namespace fs = std::filesystem;

namespace {

QString Recorder() {
    return QString::fromStdString((BinDir() / "vardocle-record").string());
}

QString Q(const fs::path& path) {
    return QString::fromStdString(path.string());
}

ProcessResult Record(const QStringList& arguments) {
    return RunProcess(Recorder(), arguments, std::chrono::seconds(60));
}

QSize ScreenSize() {
    const auto result = RunProcess("xdpyinfo", {});
    const auto match =
        QRegularExpression(R"(dimensions:\s+(\d+)x(\d+))").match(QString(result.Out));
    return match.hasMatch() ? QSize(match.captured(1).toInt(), match.captured(2).toInt()) : QSize();
}

// Shows a picture as the root window's background (it stays: the server
// keeps the root's contents).
void ShowOnScreen(const fs::path& picture) {
    RunProcess("display", {"-window", "root", Q(picture)});
}

// One decoded frame as 24-bit RGB, top row first.
// A pointer that keeps moving while it lives: with the cursor recorded, every
// slot then has a frame of its own rather than repeating the one before.
class TMovingPointer {
public:
    TMovingPointer() {
        FProcess.start("sh", {"-c", "for i in $(seq 2000); do xdotool mousemove "
                                    "$((i % 400 + 100)) 300; sleep 0.05; done"});
        FProcess.waitForStarted();
    }
    ~TMovingPointer() {
        FProcess.kill();
        FProcess.waitForFinished();
    }

private:
    QProcess FProcess;
};

// Frame `index` as played at 5 frames a second: slots in which the screen
// did not change repeat the frame before them.
QByteArray DecodeFrame(const fs::path& file, int index) {
    const auto result =
        RunProcess("ffmpeg", {"-v", "error", "-i", Q(file), "-vf",
                              QString("fps=5,select=eq(n\\,%1)").arg(index), "-frames:v", "1", "-f",
                              "rawvideo", "-pix_fmt", "rgb24", "-"});
    return result.ExitCode == 0 ? result.Out : QByteArray();
}

// The middle of the dark pixels of a frame that is white elsewhere.
QPointF DarkCentre(const QByteArray& rgb, int width, int height) {
    double sumX = 0;
    double sumY = 0;
    int count = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const auto* p =
                reinterpret_cast<const std::uint8_t*>(rgb.constData()) + (y * width + x) * 3;
            if (p[0] < 96 && p[1] < 96 && p[2] < 96) {
                sumX += x;
                sumY += y;
                ++count;
            }
        }
    return count ? QPointF(sumX / count, sumY / count) : QPointF(-1, -1);
}

class RecordTool : public ::testing::Test {
protected:
    void SetUp() override {
        VARDOCLE_REQUIRE_DISPLAY();
        Screen = ScreenSize();
        ASSERT_TRUE(Screen.isValid());
    }
    TempDir Dir;
    QSize Screen;
};

} // namespace

TEST_F(RecordTool, RecordsTheScreenScaledAtTheChosenRate) {
    const auto picture = Dir / "picture.png";
    ASSERT_EQ(
        RunProcess("convert", {"-size", QString("%1x%2").arg(Screen.width()).arg(Screen.height()),
                               "xc:white", "-fill", "red", "-draw", "rectangle 100,100 900,600",
                               "-fill", "blue", "-draw", "circle 1400,700 1400,950", "-fill",
                               "green", "-draw", "rectangle 0,900 1920,1080", Q(picture)})
            .ExitCode,
        0);
    ShowOnScreen(picture);
    const auto video = Dir / "out.avi";
    const auto result = Record(QStringList{Q(video), "--seconds", "6", "--rate", "5", "--size",
                                           "1024x768", "--cursor", "off", "--no-sound"});
    ASSERT_EQ(result.ExitCode, 0) << result.Err.toStdString();
    // One progress line a second and a summary at the end.
    EXPECT_GE(result.Err.count("frames"), 6) << result.Err.toStdString();
    EXPECT_TRUE(result.Err.contains("done: ")) << result.Err.toStdString();

    const auto streams = ProbeStreams(video);
    ASSERT_EQ(streams.size(), 1);
    const auto stream = ProbeStream(video, "video");
    EXPECT_EQ(stream["codec_name"].toString(), "h264");
    EXPECT_EQ(stream["avg_frame_rate"].toString(), "5/1");
    EXPECT_EQ(stream["width"].toInt(), 1024);
    EXPECT_EQ(stream["height"].toInt(), 768);
    EXPECT_NEAR(stream["nb_frames"].toString().toInt(), 30, 1);
    EXPECT_NEAR(stream["duration"].toString().toDouble(), 6.0, 0.3);

    const auto frame = Dir / "frame.png";
    const auto expected = Dir / "expected.png";
    ASSERT_EQ(RunProcess("ffmpeg", {"-v", "error", "-i", Q(video), "-vf", "fps=5,select=eq(n\\,10)",
                                    "-frames:v", "1", Q(frame)})
                  .ExitCode,
              0);
    ASSERT_EQ(RunProcess("convert", {Q(picture), "-resize", "1024x768!", Q(expected)}).ExitCode, 0);
    const auto compared =
        RunProcess("compare", {"-metric", "PSNR", Q(expected), Q(frame), "null:"});
    const double psnr = QString(compared.Err).split(' ').first().toDouble();
    EXPECT_GE(psnr, 30.0) << compared.Err.toStdString();
}

TEST_F(RecordTool, TheCursorAppearsWhereThePointerIsScaledToTheFrame) {
    const auto white = Dir / "white.png";
    ASSERT_EQ(
        RunProcess("convert", {"-size", QString("%1x%2").arg(Screen.width()).arg(Screen.height()),
                               "xc:white", Q(white)})
            .ExitCode,
        0);
    ShowOnScreen(white);
    for (const QPoint pointer : {QPoint(960, 540), QPoint(300, 200)}) {
        ASSERT_EQ(RunProcess("xdotool", {"mousemove", QString::number(pointer.x()),
                                         QString::number(pointer.y())})
                      .ExitCode,
                  0);
        const auto video = Dir / "cursor.avi";
        const auto result = Record(QStringList{Q(video), "--seconds", "1", "--rate", "5", "--size",
                                               "1024x768", "--cursor", "on"});
        ASSERT_EQ(result.ExitCode, 0) << result.Err.toStdString();
        const QByteArray rgb = DecodeFrame(video, 2);
        ASSERT_EQ(rgb.size(), 1024 * 768 * 3);
        const QPointF centre = DarkCentre(rgb, 1024, 768);
        // The pointer's hot spot, scaled like the picture.
        EXPECT_NEAR(centre.x(), pointer.x() * 1024.0 / Screen.width(), 4) << pointer.x();
        EXPECT_NEAR(centre.y(), pointer.y() * 768.0 / Screen.height(), 4) << pointer.y();

        const auto without = Dir / "nocursor.avi";
        ASSERT_EQ(
            Record(QStringList{Q(without), "--seconds", "1", "--rate", "5", "--cursor", "off"})
                .ExitCode,
            0);
        EXPECT_EQ(DarkCentre(DecodeFrame(without, 2), 1024, 768), QPointF(-1, -1));
    }
}

TEST_F(RecordTool, AnInterruptFinishesTheFile) {
    const auto video = Dir / "stopped.avi";
    QProcess process;
    process.start(Recorder(), {Q(video), "--rate", "5", "--size", "320x240", "--no-sound"});
    ASSERT_TRUE(process.waitForStarted());
    std::this_thread::sleep_for(std::chrono::milliseconds(2200));
    kill(static_cast<pid_t>(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(20000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    const auto stream = ProbeStream(video, "video");
    EXPECT_NEAR(stream["nb_frames"].toString().toInt(), 11, 2);
    EXPECT_NEAR(stream["duration"].toString().toDouble(), 2.2, 0.4);
}

TEST_F(RecordTool, BadInputGetsOneClearLineAndLeavesNoFile) {
    const auto video = Dir / "bad.avi";
    const std::vector<QStringList> mistakes = {
        {Q(video), "--rate", "0"},       {Q(video), "--rate", "6"},
        {Q(video), "--size", "0x768"},   {Q(video), "--size", "5001x10"},
        {Q(video), "--size", "big"},     {Q(video), "--frobnicate"},
        {Q(video), "--cursor", "maybe"}, {Q(video), "--codec", "divx"},
        {Q(video), "--seconds", "-1"},   {},
    };
    for (const auto& arguments : mistakes) {
        const auto result = Record(arguments);
        EXPECT_EQ(result.ExitCode, 2) << arguments.join(' ').toStdString();
        EXPECT_EQ(result.Err.count('\n'), 1) << result.Err.toStdString();
        EXPECT_TRUE(result.Err.startsWith("错误：")) << result.Err.toStdString();
        EXPECT_TRUE(result.Err.contains("Error: ")) << result.Err.toStdString();
    }
    EXPECT_FALSE(fs::exists(video));

    // A folder that does not exist, one that cannot hold files, a read-only file.
    const auto locked = Dir / "locked.avi";
    std::ofstream(locked) << "keep me";
    fs::permissions(locked, fs::perms::owner_read);
    for (const auto& target : {Dir / "missing" / "a.avi", fs::path("/proc/vardocle.avi"), locked}) {
        const auto result = Record(QStringList{Q(target), "--seconds", "1"});
        EXPECT_EQ(result.ExitCode, 1) << target;
        EXPECT_EQ(result.Err.count('\n'), 1) << result.Err.toStdString();
        EXPECT_TRUE(result.Err.contains("Cannot create file")) << result.Err.toStdString();
    }
    EXPECT_FALSE(fs::exists(Dir / "missing"));
    EXPECT_EQ(fs::file_size(locked), 7u);

    // No X display.
    const auto result = RunProcess(Recorder(), {Q(video), "--seconds", "1"},
                                   std::chrono::seconds(30), {"DISPLAY="});
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_TRUE(result.Err.contains("DISPLAY")) << result.Err.toStdString();
    EXPECT_FALSE(fs::exists(video));
}

TEST_F(RecordTool, ADiskThatFillsUpKeepsTheFramesWritten) {
    // A file-size limit stands in for a full disk: uncompressed 640x480 frames
    // (900 KiB each) reach 8 MB after a few frames.
    const TMovingPointer pointer;
    const auto video = Dir / "full.avi";
    const auto result =
        RunProcess("prlimit",
                   {"--fsize=8000000", Recorder(), Q(video), "--seconds", "10", "--rate", "5",
                    "--size", "640x480", "--codec", "raw", "--cursor", "on"},
                   std::chrono::seconds(60));
    EXPECT_EQ(result.ExitCode, 1) << result.Err.toStdString();
    EXPECT_TRUE(result.Err.contains("Cannot write file")) << result.Err.toStdString();
    ASSERT_TRUE(fs::exists(video));
    const auto stream = ProbeStream(video, "video");
    EXPECT_GE(stream["nb_read_frames"].toString().toInt(), 5) << result.Err.toStdString();
}

TEST_F(RecordTool, FilesPastTwoGigabytesStayReadable) {
    // Uncompressed 5000x5000 frames are 75 MB each: about 30 of them pass 2 GB,
    // which takes the file through its extended (OpenDML) parts. Memory-backed
    // storage, when there is room, keeps the disk from setting the pace.
    const TempDir folder(3'000'000'000ull);
    const auto video = folder / "huge.avi";
    QProcess process;
    const TMovingPointer pointer;
    process.start(Recorder(), {Q(video), "--rate", "5", "--size", "5000x5000", "--codec", "raw",
                               "--cursor", "on"});
    ASSERT_TRUE(process.waitForStarted());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
    const auto size = [&] {
        std::error_code missing;
        const auto bytes = fs::file_size(video, missing);
        return missing ? 0 : bytes;
    };
    while (size() < 2'200'000'000ull && std::chrono::steady_clock::now() < deadline &&
           process.state() == QProcess::Running)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    kill(static_cast<pid_t>(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(60000));
    const QString err = process.readAllStandardError();
    ASSERT_EQ(process.exitCode(), 0) << err.toStdString();
    ASSERT_GT(fs::file_size(video), 2'147'483'648ull);
    const auto match = QRegularExpression(R"(done: (\d+) frames)").match(err);
    ASSERT_TRUE(match.hasMatch()) << err.toStdString();
    const auto stream = ProbeStream(video, "video");
    EXPECT_EQ(stream["width"].toInt(), 5000);
    // The last slot is written again when the screen stood still at the end.
    const int decoded = stream["nb_read_frames"].toString().toInt();
    EXPECT_GE(decoded, match.captured(1).toInt());
    EXPECT_LE(decoded, match.captured(1).toInt() + 1);
}
