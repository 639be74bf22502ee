#pragma once
// Repairs a recording that was cut off (the recorder killed, the machine
// stopped): its AVI file gets the index and header counts a clean Stop would
// have written, its sound file's header its real sizes, and the sound is
// merged into the video as at Stop. Nothing is replaced before its
// replacement is complete; what cannot be repaired is left as it was.
#include <atomic>
#include <cstdint>
#include <string>

namespace vardocle {

enum class TRepairOutcome { AlreadyComplete, Repaired, Failed };

struct TRepairReport {
    TRepairOutcome Outcome = TRepairOutcome::Failed;
    std::string Chinese; // one or more lines: what was found and done, or why not (names the file)
    std::string English; // the same in English
    std::int64_t VideoMs = 0; // the video's length after the repair
    bool SoundMerged = false;
};

// Cheap (reads headers, looks for NAME.Wav / NAME.avi.merging beside it):
// true when the recording at AviFileName looks interrupted — its AVI is
// incomplete, or its .Wav or a half-written merge lies beside it.
bool NeedsRepair(const std::string& AviFileName);

// Repairs as described; never throws; safe to call off the UI thread (no Qt
// GUI); Progress (0-100) optional.
TRepairReport RepairRecording(const std::string& AviFileName, std::atomic<int>* Progress = nullptr);

} // namespace vardocle
