#pragma once
// Copies the sound of a recording's temporary WAV file into its finished AVI
// file as a second stream. The AVI file is rewritten beside itself
// ("NAME.merging") and replaced in one rename only when everything succeeded,
// so the video and the WAV file are never damaged by a merge that fails or is
// cut off; the WAV file is left for the caller to remove.
#include <atomic>
#include <cstdint>
#include <string>

namespace vardocle {

struct TSoundMergeOptions {
    // The wall-clock length of the recording without its pauses (the video's
    // length); 0 when unknown.
    std::int64_t RecordedDurationMs = 0;
    // Wall-clock seconds per second of sound, as measured while recording
    // (0: unknown). When the sound's length strays from its wall-clock time by
    // more than 20 ms, it is stretched or shrunk to fit.
    double SoundClockRatio = 0;
    // Set to 0-100 as the sound is copied, when given; read by other threads.
    std::atomic<int>* Progress = nullptr;
};

// The file a merge writes before it replaces the AVI file.
std::string MergeOutputName(const std::string& AviFileName);

// True when the sound is in the AVI file or there was none to add (no WAV
// file, or one without samples); false with the reason in Error (and its
// errno in ErrorNumber, when given), and then both files are as they were.
// A disk without room for the merged copy is told before any of it is written.
bool MergeSoundInto(const std::string& AviFileName, const std::string& WavFileName,
                    const TSoundMergeOptions& Options, std::string& Error,
                    int* ErrorNumber = nullptr);

} // namespace vardocle
