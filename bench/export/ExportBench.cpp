// Exporting a mostly still H.264 recording with sound to MP4, against
// ffmpeg doing the same (picture copied, sound to AAC, index in front) on the
// same file in the same run: the time as a share of the recording's length
// (target under 5 %) and as a ratio to ffmpeg's, and the MP4's size against
// the recording's picture plus the sound's AAC alone. Only a broken export
// fails the run. VARDOCLE_BENCH_EXPORT_SECONDS sets the length (default 120;
// 600 for the ten-minute figure).
#include "export/RecordingExport.h"
#include "tests/support/TestSupport.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/resource.h>

using namespace vardocle;
using namespace vardocle::test;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

QString Q(const fs::path& path) {
    return QString::fromStdString(path.string());
}

double CpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double Seconds(std::chrono::steady_clock::duration span) {
    return std::chrono::duration<double>(span).count();
}

// Timed run of a program to its end; -1 when it failed.
double TimedRun(const QString& program, const QStringList& arguments) {
    const auto start = std::chrono::steady_clock::now();
    const ProcessResult run = RunProcess(program, arguments, 600s);
    return run.ExitCode == 0 ? Seconds(std::chrono::steady_clock::now() - start) : -1;
}

TEST(ExportBench, StillRecordingToMp4) {
    const char* wanted = std::getenv("VARDOCLE_BENCH_EXPORT_SECONDS");
    const int length = wanted ? std::max(10, std::atoi(wanted)) : 120;
    TempDir folder;
    const fs::path avi = folder / "still.avi";
    // As the recorder writes it: 5 slots a second, a picture only where the
    // screen changed (every 5 s here), empty chunks between; PCM sound.
    const QString screen = QStringLiteral("color=c=0x2060c0:size=1024x768:rate=5:duration=%1,"
                                          "drawbox=x='mod(floor(t/5)*40,900)':y=300:w=80:h=80:"
                                          "color=red:t=fill,mpdecimate=max=0:hi=1:lo=1:frac=0")
                               .arg(length);
    ASSERT_EQ(RunProcess("ffmpeg",
                         {"-v",        "error",
                          "-f",        "lavfi",
                          "-i",        screen,
                          "-f",        "lavfi",
                          "-i",        QStringLiteral("sine=frequency=440:duration=%1").arg(length),
                          "-fps_mode", "passthrough",
                          "-c:v",      "libx264",
                          "-preset",   "ultrafast",
                          "-bf",       "0",
                          "-pix_fmt",  "yuv420p",
                          "-c:a",      "pcm_s16le",
                          "-ac",       "2",
                          Q(avi)},
                         600s)
                  .ExitCode,
              0);

    const fs::path ours = folder / "ours.mp4";
    const auto start = std::chrono::steady_clock::now();
    const double cpuBefore = CpuSeconds(RUSAGE_SELF);
    const TExportResult result = ExportRecording(avi, ours);
    const double oursSeconds = Seconds(std::chrono::steady_clock::now() - start);
    const double oursCpu = CpuSeconds(RUSAGE_SELF) - cpuBefore;
    ASSERT_EQ(result.Outcome, TExportOutcome::Done) << result.English;
    ASSERT_TRUE(result.PictureCopied);

    const double childrenBefore = CpuSeconds(RUSAGE_CHILDREN);
    const double ffmpegSeconds =
        TimedRun("ffmpeg", {"-v", "error", "-i", Q(avi), "-c:v", "copy", "-c:a", "aac", "-b:a",
                            "128k", "-movflags", "+faststart", Q(folder / "ffmpeg.mp4")});
    ASSERT_GT(ffmpegSeconds, 0);
    const double ffmpegCpu = CpuSeconds(RUSAGE_CHILDREN) - childrenBefore;
    // The two parts an MP4 could at best be: the picture as recorded, the sound as AAC.
    ASSERT_EQ(RunProcess("ffmpeg",
                         {"-v", "error", "-i", Q(avi), "-map", "0:v", "-c", "copy",
                          Q(folder / "picture.avi")},
                         600s)
                  .ExitCode,
              0);
    ASSERT_EQ(RunProcess("ffmpeg",
                         {"-v", "error", "-i", Q(avi), "-map", "0:a", "-c:a", "aac", "-b:a", "128k",
                          Q(folder / "sound.m4a")},
                         600s)
                  .ExitCode,
              0);
    const double mp4 = double(fs::file_size(ours));
    const double parts =
        double(fs::file_size(folder / "picture.avi") + fs::file_size(folder / "sound.m4a"));

    std::printf("export bench (%d s, 5 fps 1024x768 H.264, a change every 5 s, PCM sound)\n",
                length);
    std::printf("  export time: %.2f s = %.2f %% of the recording's length (target < 5 %%); "
                "ffmpeg %.2f s, ratio %.2f\n",
                oursSeconds, oursSeconds * 100 / length, ffmpegSeconds,
                oursSeconds / ffmpegSeconds);
    // On a shared machine the processor time tells more than the clock.
    std::printf("  processor time: %.2f s = %.2f %% of the length; ffmpeg %.2f s, ratio %.2f\n",
                oursCpu, oursCpu * 100 / length, ffmpegCpu, oursCpu / ffmpegCpu);
    std::printf("  size: MP4 %.0f KB, recording %.0f KB, its picture + the sound's AAC %.0f KB, "
                "ratio %.3f (target <= 1)\n",
                mp4 / 1024, double(fs::file_size(avi)) / 1024, parts / 1024, mp4 / parts);
}

} // namespace
