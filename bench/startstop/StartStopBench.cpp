// How long vardocle-record takes from being started to its first frame in the
// file, and from being told to stop (SIGINT, as Ctrl+C) to a complete file,
// over several runs on the test desktop's X screen. Beside it, in the same run
// and the same rounds: ffmpeg doing the same job (the whole screen scaled to
// 1024x768, H.264 with nothing held back in the encoder, AVI written out
// packet by packet), which pays for the same process start, library loading,
// X connection, encoder set-up and first compressed frame on the same loaded
// machine; and two floors: a bare process start (true) and vardocle-record
// --help, which loads every library the recorder does and records nothing.
// Medians, worst cases and ratios are printed; only a recorder whose file is
// missing, incomplete or short of frames fails the run, never its timing.
// VARDOCLE_BENCH_LONG=1: 15 runs instead of 5.
#include "bench/startstop/AviProgress.h"
#include "bench/startstop/ChildProcess.h"
#include "bench/startstop/FirstFrameWatch.h"
#include "tests/support/TestSupport.h"

#include <QRegularExpression>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using namespace vardocle::test;
namespace fs = std::filesystem;
using TClock = TChildProcess::TClock;

namespace {

constexpr int kRate = 5;
// Long enough for a few frames after the first, short enough for many runs.
constexpr auto kRecordFor = std::chrono::milliseconds(1000);
constexpr auto kStartLimit = std::chrono::seconds(15);
constexpr auto kStopLimit = std::chrono::seconds(30);

double Ms(TClock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

struct TRecorder {
    std::string Label;
    std::string Program;
    std::vector<std::string> Arguments; // the output file is put at "@"
    int ExitCodeOnStop = 0;
    bool Ours = true; // only our own recorder fails the run
};

struct TTimes {
    std::vector<double> Start;
    std::vector<double> Stop;
};

struct TRun {
    std::optional<double> StartMs;
    std::optional<double> StopMs;
    std::string Problem; // empty when the file is complete and right
};

std::string Tail(const fs::path& file) {
    const std::string text = ReadWholeFile(file);
    return text.size() > 400 ? text.substr(text.size() - 400) : text;
}

// The file is complete, and holds the frames of the time recorded: one for
// each slot from the first frame to the stop, give or take the slots a
// stop falls between.
std::string CheckFile(const fs::path& video, double recordedMs) {
    if (!IsCompleteAvi(ReadWholeFile(video)))
        return "the file was not completed";
    const QJsonObject stream = ProbeStream(video, "video");
    const int frames = stream["nb_frames"].toString().toInt();
    const double expected = recordedMs * kRate / 1000 + 1;
    if (std::abs(frames - expected) > 2)
        return "the file holds " + std::to_string(frames) + " frames, not about " +
               std::to_string(std::lround(expected));
    return {};
}

TRun RecordOnce(const TRecorder& recorder, const fs::path& folder) {
    const fs::path video = folder / "video.avi";
    std::error_code ignored;
    fs::remove(video, ignored);
    std::vector<std::string> arguments = recorder.Arguments;
    std::replace(arguments.begin(), arguments.end(), std::string("@"), video.string());

    TRun run;
    TFirstFrameWatch watch(video);
    if (!watch.Watching()) {
        run.Problem = "the folder cannot be watched (inotify)";
        return run;
    }
    TChildProcess process(recorder.Program, arguments, folder / "out.txt", folder / "err.txt");
    if (!process.Started()) {
        run.Problem = "it could not be started";
        return run;
    }
    const auto first = watch.Wait(process, process.StartedAt() + kStartLimit);
    if (!first) {
        run.Problem = "no frame reached the file: " + Tail(folder / "err.txt");
        return run;
    }
    run.StartMs = Ms(*first - process.StartedAt());
    std::this_thread::sleep_until(*first + kRecordFor);
    const auto stopAt = TClock::now();
    process.Signal(SIGINT);
    if (!process.WaitUntil(stopAt + kStopLimit)) {
        run.Problem = "it did not end after SIGINT";
        return run;
    }
    run.StopMs = Ms(process.EndedAt() - stopAt);
    if (process.ExitCode() != recorder.ExitCodeOnStop) {
        run.Problem =
            "it ended with " + std::to_string(process.ExitCode()) + ": " + Tail(folder / "err.txt");
        return run;
    }
    run.Problem = CheckFile(video, Ms(stopAt - *first));
    return run;
}

// From start to exit, for the floors that record nothing.
std::optional<double> RunToEnd(const std::string& program,
                               const std::vector<std::string>& arguments, const fs::path& folder) {
    TChildProcess process(program, arguments, folder / "out.txt", folder / "err.txt");
    if (!process.WaitUntil(process.StartedAt() + kStartLimit) || process.ExitCode() != 0)
        return std::nullopt;
    return Ms(process.EndedAt() - process.StartedAt());
}

double Median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double Worst(const std::vector<double>& values) {
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

void PrintRow(const std::string& label, const TTimes& times) {
    std::printf("%-28s %8.1f %8.1f", label.c_str(), Median(times.Start), Worst(times.Start));
    if (!times.Stop.empty())
        std::printf("   %8.1f %8.1f", Median(times.Stop), Worst(times.Stop));
    std::printf("   (%zu runs)\n", times.Start.size());
}

void PrintRatio(const char* what, const TTimes& ours, const TTimes& reference) {
    if (ours.Start.empty() || reference.Start.empty())
        return;
    std::printf("%s: start %.2f (median) %.2f (worst)", what,
                Median(ours.Start) / Median(reference.Start),
                Worst(ours.Start) / Worst(reference.Start));
    if (!ours.Stop.empty() && !reference.Stop.empty())
        std::printf(", stop %.2f (median) %.2f (worst)", Median(ours.Stop) / Median(reference.Stop),
                    Worst(ours.Stop) / Worst(reference.Stop));
    std::printf("\n");
}

std::string ScreenSize() {
    const auto result = RunProcess("xdpyinfo", {});
    const auto match = QRegularExpression(R"(dimensions:\s+(\d+x\d+))").match(QString(result.Out));
    return match.hasMatch() ? match.captured(1).toStdString() : std::string();
}

} // namespace

TEST(StartStopBench, FirstFrameAndCompleteFileBesideFfmpeg) {
    VARDOCLE_REQUIRE_DISPLAY();
    const std::string screen = ScreenSize();
    ASSERT_FALSE(screen.empty()) << "xdpyinfo does not see the screen";
    const int runs = qEnvironmentVariableIntValue("VARDOCLE_BENCH_LONG") == 1 ? 15 : 5;
    const std::string ours = (BinDir() / "vardocle-record").string();
    const std::string rate = std::to_string(kRate);
    const std::vector<std::string> common = {"@",        "--rate",   rate, "--size",
                                             "1024x768", "--cursor", "on"};
    std::vector<std::string> quiet = common;
    quiet.push_back("--no-sound");
    const std::vector<TRecorder> recorders = {
        {"ffmpeg x11grab",
         "ffmpeg",
         {"-nostdin",
          "-v",
          "error",
          "-f",
          "x11grab",
          "-framerate",
          rate,
          "-draw_mouse",
          "1",
          "-video_size",
          screen,
          "-i",
          qEnvironmentVariable("DISPLAY").toStdString(),
          "-vf",
          "scale=1024:768",
          "-c:v",
          "libx264",
          "-preset",
          "ultrafast",
          "-tune",
          "zerolatency",
          "-bf",
          "0",
          "-crf",
          "23",
          "-pix_fmt",
          "yuv420p",
          "-flush_packets",
          "1",
          "-y",
          "@"},
         255, // its status after an interrupt it handled
         false},
        {"vardocle-record", ours, quiet, 0, true},
        {"vardocle-record with sound", ours, common, 0, true},
    };

    TempDir folder;
    std::map<std::string, TTimes> times;
    // The first round fills the page cache and is not counted.
    for (int round = 0; round <= runs; ++round) {
        const bool counted = round > 0;
        if (const auto ms = RunToEnd("true", {}, folder.Path()); ms && counted)
            times["process start (true)"].Start.push_back(*ms);
        if (const auto ms = RunToEnd(ours, {"--help"}, folder.Path()); ms && counted)
            times["vardocle-record --help"].Start.push_back(*ms);
        for (const TRecorder& recorder : recorders) {
            const TRun run = RecordOnce(recorder, folder.Path());
            if (recorder.Ours)
                EXPECT_TRUE(run.Problem.empty()) << recorder.Label << ": " << run.Problem;
            else if (!run.Problem.empty())
                std::printf("note: %s: %s\n", recorder.Label.c_str(), run.Problem.c_str());
            if (!counted || !run.Problem.empty())
                continue;
            times[recorder.Label].Start.push_back(*run.StartMs);
            times[recorder.Label].Stop.push_back(*run.StopMs);
        }
    }

    std::printf("\nstart/stop bench: %s screen scaled to 1024x768 at %d fps, H.264, %lld ms "
                "recorded a run, SIGINT to stop\n",
                screen.c_str(), kRate, static_cast<long long>(kRecordFor.count()));
    std::printf("%-28s %17s   %17s\n", "", "start to 1st frame", "stop to complete");
    std::printf("%-28s %8s %8s   %8s %8s   ms\n", "", "median", "worst", "median", "worst");
    for (const char* label : {"process start (true)", "vardocle-record --help", "ffmpeg x11grab",
                              "vardocle-record", "vardocle-record with sound"})
        PrintRow(label, times[label]);
    PrintRatio("vardocle-record / ffmpeg", times["vardocle-record"], times["ffmpeg x11grab"]);
    PrintRatio("vardocle-record with sound / ffmpeg", times["vardocle-record with sound"],
               times["ffmpeg x11grab"]);
    const TTimes& loading = times["vardocle-record --help"];
    const TTimes& quietTimes = times["vardocle-record"];
    if (!loading.Start.empty() && !quietTimes.Start.empty())
        std::printf("of vardocle-record's median start, loading its libraries (--help) is %.0f%%; "
                    "target: start under 150 ms on this machine\n",
                    100 * Median(loading.Start) / Median(quietTimes.Start));
}
