#pragma once
// What a recording's sound is made of, kept in Setting.ini in keys of its
// own that are read only when present: a file that never had them records
// the microphone at full level, as it always did.
#include "engine/MixedSoundLibrary.h"
#include "engine/SoundChoice.h"

#include <filesystem>

namespace vardocle {

struct TSoundSetting {
    TSoundChoice Choice = TSoundChoice::Microphone;
    // Percent of each source's captured level in a mixed track (0-200).
    int MicrophoneLevel = 100;
    int SystemLevel = 100;

    TSoundLevels Levels() const {
        return {static_cast<float>(MicrophoneLevel) / 100.0F,
                static_cast<float>(SystemLevel) / 100.0F};
    }
    bool operator==(const TSoundSetting&) const = default;
};

// Missing or unknown values are the defaults; levels are brought into range.
TSoundSetting LoadSoundSetting(const std::filesystem::path& File);
// Writes the choice when it differs from the default or the file already
// holds it; the levels are the user's own edits and are left as they are.
// Throws EIniFileException when the file cannot be written.
void SaveSoundSetting(const std::filesystem::path& File, const TSoundSetting& Setting);

} // namespace vardocle
