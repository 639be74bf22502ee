#pragma once
// Turns a finished recording into a file to share: an MP4 that web browsers
// and chat programs play (the H.264 picture carried over as it is, the sound
// as AAC), or an MKV that keeps both picture and sound exactly. The recording
// itself is only read. The new file is written under a temporary name beside
// the target and takes its name only once complete; a failed or cancelled
// export leaves nothing behind. Needs no display: safe off the UI thread.
#include <atomic>
#include <functional>
#include <string>

namespace vardocle {

struct TExportOptions {
    bool Force = false; // replace an existing target
};

enum class TExportOutcome { Done, Failed, Cancelled };

struct TExportResult {
    TExportOutcome Outcome = TExportOutcome::Failed;
    std::string Chinese; // what happened, for the user (names the file on failure)
    std::string English;
    std::string OutputFile;
    double Seconds = 0;         // the length of the new file
    bool PictureCopied = false; // the picture was carried over without encoding
    bool TargetExists = false;  // refused only because the target exists (ask, then Force)
};

// Percent done, 0-100; called from the exporting thread.
using TExportProgress = std::function<void(int)>;

// The file an export proposes for a recording: the same name with `.mp4`.
std::string DefaultExportName(const std::string& AviFileName);

// Exports as described; the target's extension (.mp4 or .mkv) chooses the
// kind. Never throws.
TExportResult ExportRecording(const std::string& AviFileName, const std::string& OutFile,
                              const TExportOptions& Options = {},
                              const TExportProgress& Progress = {},
                              const std::atomic<bool>* Cancel = nullptr);

} // namespace vardocle
