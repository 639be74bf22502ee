#pragma once
// The end of a recording that stopped because the disk was full: what the
// writer could not complete is completed by the repair where there is room,
// and the user is told, in Chinese and English, which file was kept, how long
// it lasts and where its sound is. Nothing is removed here: a sound file that
// could not be merged stays beside its video until there is room.
#include <cstdint>
#include <string>

namespace vardocle {

struct TKeptRecording {
    bool Kept = false;        // a playable video file exists
    bool Complete = false;    // its index and counts are written
    std::int64_t VideoMs = 0; // its length
    bool SoundMerged = false; // its sound is in it
    bool SoundKept = false;   // the sound file stays beside it
    std::string Chinese;
    std::string English;
};

// Where the user completes what was left: the windowed program's question at
// its next start, or the command line's repair.
enum class TRepairHint { Program, CommandLine };

// VideoIncomplete: the writer could not write the file's ending.
TKeptRecording FinishAfterDiskFull(const std::string& AviFileName, const std::string& WavFileName,
                                   bool VideoIncomplete, TRepairHint Hint);

} // namespace vardocle
