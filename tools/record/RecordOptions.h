#pragma once
// The command line of vardocle-record.
#include "engine/SoundChoice.h"
#include "platform/avifile/Compressors.h"
#include "platform/screen/ScreenBackend.h"
#include "recording/AllDayOptions.h"

#include <optional>
#include <string>
#include <vector>

namespace vardocle {

struct TRecordOptions {
    std::string OutputFile;
    std::optional<double> Seconds; // none: until stopped
    int Rate = 2;
    int Width = 1024;
    int Height = 768;
    // Whether --size was given: without it an area other than the whole
    // screen is recorded at its own size.
    bool SizeGiven = false;
    TCaptureArea Area;
    bool Cursor = true;
    bool Transparent = false;
    TCodecKind Codec = TCodecKind::H264;
    bool Sound = true; // false with --sound none
    TSoundChoice SoundChoice = TSoundChoice::Microphone;
    std::optional<TScreenBackend> Screen; // none: chosen by the session
    bool Help = false;
    // Repairs this interrupted recording instead of recording.
    std::string RepairFile;
    // With --repair: removes a recording in which nothing was recorded.
    bool RemoveEmpty = false;
    // A new file every so often.
    TAllDayOptions AllDay;
};

// A mistake on the command line, told in Chinese and in English.
struct TUsageError {
    std::string Chinese;
    std::string English;
};

// Reads the arguments (without the program name). Empty error on success.
std::optional<TUsageError> ParseRecordOptions(const std::vector<std::string>& arguments,
                                              TRecordOptions& options);

std::string RecordUsage();

} // namespace vardocle
