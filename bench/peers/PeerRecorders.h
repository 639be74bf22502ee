#pragma once
// The three recorders of the side-by-side benchmark, each run as a whole
// process on the current DISPLAY, recording the whole screen (scaled, or at
// its own size) as H.264 (ultrafast, rate factor 23, no B-frames) in AVI with
// the cursor drawn: Vardocle's command-line recorder, ffmpeg and
// simplescreenrecorder.
#include <QString>

#include <filesystem>

namespace vardocle::test {

enum class TPeer { Vardocle, Ffmpeg, Ssr };
const char* PeerName(TPeer peer);

struct TPeerRun {
    bool Ok = false;
    QString Error;
    double CpuSeconds = 0; // user + system of the recorder's process
    double PeakMb = 0;     // its largest resident size
    double VideoSeconds = 0;
    double Bytes = 0;
};

// The screen recorded and the size of the recording.
struct TPeerSizes {
    int ScreenWidth = 1920;
    int ScreenHeight = 1080;
    int Width = 1024;
    int Height = 768;
    bool Scaled() const { return Width != ScreenWidth || Height != ScreenHeight; }
};

// Records `seconds` at `rate` frames a second into `output`; `work` holds
// the run's own files.
TPeerRun RecordWith(TPeer peer, int rate, int seconds, const std::filesystem::path& output,
                    const std::filesystem::path& work, const TPeerSizes& sizes = {});

} // namespace vardocle::test
