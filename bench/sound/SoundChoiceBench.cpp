// The processor time of the sound path per second of recording: the two
// sources mixed ("both") against the microphone alone through the system's
// library, measured in one run on the desktop's sound server. Each recording
// runs alone in this process, so the process's time is the sound path's.
#include "engine/MixedSoundLibrary.h"
#include "engine/WavRecord.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

using namespace vardocle;
namespace fs = std::filesystem;

namespace {

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Milliseconds of processor time per second of sound recorded from Library.
double CostPerSecond(std::shared_ptr<TSoundLibrary> library, const fs::path& wav, int seconds) {
    const double before = ProcessCpuSeconds();
    {
        TWavRecord recorder(std::move(library));
        recorder.Start(wav.string(), 400000);
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        recorder.Stop();
    }
    return (ProcessCpuSeconds() - before) * 1000.0 / seconds;
}

} // namespace

int main() {
    std::string whyNot;
    auto both = CreateSoundLibraryFor(TSoundChoice::Both, whyNot);
    if (!both) {
        std::printf("mixed sound: skipped (%s)\n", whyNot.c_str());
        return 0;
    }
    const char* configured = std::getenv("VARDOCLE_BENCH_SOUND_SECONDS");
    const int seconds = configured != nullptr ? std::max(1, std::atoi(configured) / 2) : 8;
    const fs::path dir =
        fs::temp_directory_path() / ("vardocle-mix-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const double microphone = CostPerSecond(CreateSystemSoundLibrary(), dir / "mic.Wav", seconds);
    const double mixed = CostPerSecond(std::move(both), dir / "both.Wav", seconds);
    std::printf("sound path per second recorded: both %.2f ms, microphone %.2f ms, ratio %.2f "
                "(%.3f %% of a core for both)\n",
                mixed, microphone, mixed / microphone, mixed / 10.0);
    fs::remove_all(dir);
    return 0;
}
