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

enum class TRepairOutcome {
    AlreadyComplete,
    Repaired,
    // The video was repaired (and replaced); its sound file could not be
    // merged and was left as it was.
    SoundLeft,
    // No frame and under a second of sound: nothing to repair; the files were
    // left, or removed when asked.
    NothingRecorded,
    Removed,
    Failed // nothing was changed
};

struct TRepairOptions {
    // Removes a recording in which nothing was recorded, with its sound file.
    bool RemoveEmpty = false;
};

// The command line's exit status: 0 done, 1 nothing was changed, 3 the video
// was repaired but its sound file was left.
int RepairExitStatus(TRepairOutcome Outcome);

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

// Cheap: true when nothing was recorded (no frame, under a second of sound),
// the recorder killed as it began; such a recording is not repaired but
// removed, when asked to.
bool NothingRecorded(const std::string& AviFileName);

// Repairs as described; never throws; safe to call off the UI thread (no Qt
// GUI); Progress (0-100) optional.
// A symbolic link is followed: its target is repaired in place and the link
// kept; the sound file is looked for beside the name given.
TRepairReport RepairRecording(const std::string& AviFileName, std::atomic<int>* Progress = nullptr,
                              const TRepairOptions& Options = {});

} // namespace vardocle
