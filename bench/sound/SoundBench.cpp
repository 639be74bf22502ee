// Sound recording costs: the recorder's callback per block against a bare
// copy-and-write of the same bytes, and the blocks lost to overruns in a real
// recording while the processors are busy. Figures are printed; the program
// fails only when something is broken.
#include "engine/WavRecord.h"
#include "tests/integration/sound/CountingSoundLibrary.h"
#include "tests/support/FakeSoundLibrary.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace vardocle;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t kBlock = 17640;
constexpr std::int32_t kBuffer = 400000;
constexpr int kBlocks = 3000; // five minutes of sound

struct Timing {
    double MeanMicroseconds = 0;
    double WorstMicroseconds = 0;
};

template <typename Step> Timing TimeBlocks(Step step) {
    double total = 0;
    double worst = 0;
    for (int i = 0; i < kBlocks; ++i) {
        const auto begin = Clock::now();
        step(i);
        const double us = std::chrono::duration<double, std::micro>(Clock::now() - begin).count();
        total += us;
        worst = std::max(worst, us);
    }
    return {total / kBlocks, worst};
}

// The least any recorder must do: copy into a buffer, write it when full.
Timing ReferenceCopyAndWrite(const fs::path& file, const std::vector<std::uint8_t>& block) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    std::vector<std::uint8_t> buffer(kBuffer);
    std::size_t used = 0;
    bool failed = false;
    const Timing timing = TimeBlocks([&](int) {
        if (used + block.size() > buffer.size()) {
            failed |= ::write(fd, buffer.data(), used) != static_cast<ssize_t>(used);
            used = 0;
        }
        std::copy(block.begin(), block.end(), buffer.begin() + static_cast<std::ptrdiff_t>(used));
        used += block.size();
    });
    failed |= ::write(fd, buffer.data(), used) != static_cast<ssize_t>(used);
    ::close(fd);
    if (failed)
        std::fprintf(stderr, "reference write failed\n");
    return timing;
}

Timing RecorderCallback(const fs::path& file, const std::vector<std::uint8_t>& block) {
    auto library = std::make_shared<test::FakeSoundLibrary>();
    TWavRecord recorder(library);
    recorder.Start(file.string(), kBuffer);
    const Timing timing = TimeBlocks([&](int) { library->Feed(block); });
    recorder.Stop();
    return timing;
}

// The same blocks on the recorder's own clock, 0.1 s apart as a device
// delivers them, so that the sound is handed to the disk every half second as
// in a real recording.
Timing RecorderCallbackInSoundTime(const fs::path& file, const std::vector<std::uint8_t>& block) {
    auto library = std::make_shared<test::FakeSoundLibrary>();
    Clock::time_point now{};
    TWavRecord recorder(library, [&now] { return now; });
    recorder.Start(file.string(), kBuffer);
    const Timing timing = TimeBlocks([&](int) {
        now += std::chrono::milliseconds(100);
        library->Feed(block);
    });
    recorder.Stop();
    return timing;
}

bool HaveSoundServer() {
    return std::system("pactl info >/dev/null 2>&1") == 0;
}

// The video engine recording the screen at 5 fps beside the sound, when a
// screen and the recorder are there; its process id, or -1.
pid_t StartVideoEngine(const fs::path& dir, int seconds) {
    const char* binDir = std::getenv("VARDOCLE_BIN_DIR");
    if (std::getenv("DISPLAY") == nullptr || binDir == nullptr)
        return -1;
    const std::string recorder = (fs::path(binDir) / "vardocle-record").string();
    if (!fs::exists(recorder))
        return -1;
    const std::string output = (dir / "video.avi").string();
    const std::string duration = std::to_string(seconds + 2);
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        dup2(null, STDERR_FILENO);
        execl(recorder.c_str(), recorder.c_str(), output.c_str(), "--seconds", duration.c_str(),
              "--rate", "5", "--no-sound", static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

// Records for the given time while the video engine runs and every
// processor is kept busy.
int RecordUnderLoad(const fs::path& file, int seconds) {
    const pid_t video = StartVideoEngine(file.parent_path(), seconds);
    std::atomic<bool> stop{false};
    std::vector<std::thread> load;
    const unsigned cores = std::max(1U, std::thread::hardware_concurrency());
    for (unsigned i = 0; i < cores; ++i)
        load.emplace_back([&stop] {
            volatile double x = 1.0;
            while (!stop)
                x = std::sqrt(x + 1.0);
        });

    auto library = std::make_shared<test::CountingSoundLibrary>(CreateSystemSoundLibrary());
    bool noDevice = false;
    TWavRecord recorder(library);
    recorder.OnProblem = [&](TSoundProblem problem, const std::string&) {
        noDevice |= problem == TSoundProblem::NoDevice;
    };
    recorder.Start(file.string(), kBuffer);
    const bool arrived = library->WaitForBlocks(1, std::chrono::seconds(5));
    const auto begin = Clock::now();
    const int before = library->Blocks;
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double elapsed = std::chrono::duration<double>(Clock::now() - begin).count();
    const int delivered = library->Blocks - before;
    const std::uint32_t overruns = recorder.Overruns();
    recorder.Stop();
    stop = true;
    for (auto& thread : load)
        thread.join();
    if (video > 0)
        waitpid(video, nullptr, 0);

    if (noDevice || !arrived) {
        std::fprintf(stderr, "sound: no blocks from the recording device\n");
        return 1;
    }
    const double expected = elapsed * 10.0; // 0.1 s per block
    const double lost = std::max(0.0, std::round(expected - delivered - 1));
    std::printf("recording under load (%s%u busy threads, %.1f s): %d blocks, %.0f expected, "
                "lost %.0f, overruns %u (target: none lost)\n",
                video > 0 ? "video engine at 5 fps, " : "", cores, elapsed, delivered, expected,
                lost, overruns);
    return 0;
}

} // namespace

int main() {
    const fs::path dir =
        fs::temp_directory_path() / ("vardocle-sound-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::vector<std::uint8_t> block(kBlock);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<std::uint8_t>(i * 13);

    const Timing reference = ReferenceCopyAndWrite(dir / "reference.raw", block);
    const Timing ours = RecorderCallback(dir / "recorder.Wav", block);
    std::printf("callback per 0.1 s block: %.2f us (reference copy+write %.2f us), ratio %.2f\n",
                ours.MeanMicroseconds, reference.MeanMicroseconds,
                ours.MeanMicroseconds / reference.MeanMicroseconds);
    std::printf("worst block (the one that writes the buffer): %.0f us (reference %.0f us), "
                "%.2f %% of the block's 100 ms\n",
                ours.WorstMicroseconds, reference.WorstMicroseconds,
                ours.WorstMicroseconds / 1000.0);

    const Timing paced = RecorderCallbackInSoundTime(dir / "paced.Wav", block);
    std::printf("callback per block delivered 0.1 s apart (disk every 0.5 s): %.2f us, ratio "
                "%.2f to the reference; worst %.0f us\n",
                paced.MeanMicroseconds, paced.MeanMicroseconds / reference.MeanMicroseconds,
                paced.WorstMicroseconds);

    int status = 0;
    if (HaveSoundServer()) {
        const char* configured = std::getenv("VARDOCLE_BENCH_SOUND_SECONDS");
        const int seconds = configured != nullptr ? std::max(1, std::atoi(configured)) : 20;
        status = RecordUnderLoad(dir / "load.Wav", seconds);
    } else {
        std::printf("recording under load: skipped (no sound server)\n");
    }
    fs::remove_all(dir);
    return status;
}
