// A whole working day of recording in a minute or so: the real capture
// thread, writer, sound recorder and merge, driven by a fast clock, a screen
// that changes in one slot of ten and a test sound source. Checks that memory
// stays flat, that the video lasts exactly the recorded time with no slot
// lost, and that the sound lasts as long as the video.
// The simulated hours come from VARDOCLE_LONG_RECORDING_HOURS (default 1;
// 8 for the full day).
#include "bench/longrun/ChangingScreen.h"
#include "bench/longrun/FastClock.h"
#include "bench/longrun/SoundFeeder.h"
#include "engine/MainThreadInvoker.h"
#include "engine/RecordThread.h"
#include "engine/SoundHandOff.h"
#include "tests/support/TestSupport.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>

namespace vardocle {
namespace {

constexpr int kRate = 5;
constexpr int kWidth = 160;
constexpr int kHeight = 120;

double SimulatedHours() {
    const char* hours = std::getenv("VARDOCLE_LONG_RECORDING_HOURS");
    return hours && *hours ? std::atof(hours) : 1.0;
}

// Resident memory of this process in kB.
long ResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return -1;
}

QJsonObject ProbeWithoutDecoding(const std::filesystem::path& file) {
    const auto result =
        test::RunProcess("ffprobe", {"-v", "error", "-show_streams", "-show_format", "-of", "json",
                                     QString::fromStdString(file.string())});
    return QJsonDocument::fromJson(result.Out).object();
}

QJsonObject StreamOf(const QJsonObject& probe, const QString& type) {
    for (const auto& stream : probe["streams"].toArray())
        if (stream.toObject()["codec_type"].toString() == type)
            return stream.toObject();
    return {};
}

TEST(LongRecordingBench, MemoryStaysFlatAndVideoAndSoundLastTheWholeRecording) {
    int argc = 1;
    char name[] = "bench_long_recording";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    // Large files: on disk, not in memory.
    test::TempDir dir;
    const std::int64_t stopMs = std::llround(SimulatedHours() * 3600 * 1000);
    const std::int64_t slotCount = stopMs * kRate / 1000;
    const std::string avi = (dir / "long.avi").string();
    const std::string wav = (dir / "long.Wav").string();

    TQtMainThreadInvoker invoker(&app);
    auto clockOwned = std::make_unique<bench::TFastClock>(stopMs);
    bench::TFastClock& clock = *clockOwned;
    bench::TScreenCounts screen;
    auto screenOwned = std::make_unique<bench::TChangingScreen>(kWidth, kHeight, screen);
    auto library = std::make_shared<test::FakeSoundLibrary>();
    library->Inputs = {{"Capture", true}};
    bench::TSoundFeeder feeder(clock, *library);
    auto recorder = std::make_unique<TWavRecord>(library, feeder.Clock());
    std::string soundProblem;
    recorder->OnProblem = [&](TSoundProblem, const std::string& message) {
        soundProblem = message;
    };
    auto thread =
        std::make_unique<TRecordThread>(avi, TRect{0, 0, kWidth, kHeight}, wav, std::uint8_t(kRate),
                                        std::move(screenOwned), invoker, std::move(clockOwned));
    std::optional<TRecordError> error;
    thread->OnRecordError = [&](TRecordThread&, const TRecordError& e) { error = e; };
    thread->OnRecordEnd = [&](TRecordThread&) { app.quit(); };

    const auto started = std::chrono::steady_clock::now();
    long afterFirstMinuteKb = -1;
    long atEndKb = -1;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (afterFirstMinuteKb < 0 && clock.NowMs() >= 60'000)
            afterFirstMinuteKb = ResidentKb();
        if (atEndKb >= 0 || !clock.Stopped())
            return;
        feeder.WaitForEnd();
        atEndKb = ResidentKb();
        // As the programs stop: the sound first, then the capture thread.
        StopSoundForMerge(recorder, thread.get());
        thread->Terminate();
    });
    watch.start(2);
    recorder->Start(wav, kWavBufferSize);
    feeder.Start();
    thread->Resume();
    app.exec();
    thread->WaitFor();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const long afterMergeKb = ResidentKb();
    ASSERT_FALSE(error) << error->Message;
    EXPECT_EQ(soundProblem, "");

    const QJsonObject probe = ProbeWithoutDecoding(avi);
    const QJsonObject video = StreamOf(probe, "video");
    const QJsonObject audio = StreamOf(probe, "audio");
    const std::int64_t videoFrames = video["nb_frames"].toString().toLongLong();
    const double videoSeconds = double(videoFrames) / kRate;
    const double soundSeconds =
        audio["nb_frames"].toString().toDouble() / audio["sample_rate"].toString().toDouble();
    const double fileSeconds = probe["format"].toObject()["duration"].toString().toDouble();
    std::printf("long recording: %.2f simulated h in %.1f s; slots %lld, frames %lld, changes %lld;"
                " video %.3f s, sound %.3f s, file %.3f s; memory after 1 min %ld kB, at the end"
                " %ld kB, after the merge %ld kB; %.0f MB of sound fed\n",
                SimulatedHours(), seconds, static_cast<long long>(slotCount),
                static_cast<long long>(videoFrames), static_cast<long long>(screen.Changes.load()),
                videoSeconds, soundSeconds, fileSeconds, afterFirstMinuteKb, atEndKb, afterMergeKb,
                double(feeder.BytesFed()) / 1e6);

    // Every slot of the recording is a frame of the file, and it plays as long.
    EXPECT_EQ(videoFrames, slotCount);
    // Every slot was seen by the capture thread, none passed over.
    EXPECT_EQ(screen.Asked.load(), slotCount);
    EXPECT_NEAR(videoSeconds, double(stopMs) / 1000, 1.0 / kRate);
    EXPECT_NEAR(soundSeconds, videoSeconds, 0.050);
    EXPECT_EQ(std::int64_t(feeder.BytesFed()),
              stopMs * std::int64_t(kWavSampleRate) / 1000 * kWavBlockAlign);
    // Nothing grows with the length of the recording.
    ASSERT_GT(afterFirstMinuteKb, 0);
    EXPECT_LT(atEndKb - afterFirstMinuteKb, 4 * 1024);
}

} // namespace
} // namespace vardocle
