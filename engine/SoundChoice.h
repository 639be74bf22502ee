#pragma once
// What a recording's sound is made of.
#include <optional>
#include <string_view>

namespace vardocle {

enum class TSoundChoice {
    Microphone,  // the default recording device, as always
    SystemSound, // what the computer plays
    Both,        // both, mixed into one track
    None,
};

// "mic", "system", "both", "none"; nothing for any other text.
std::optional<TSoundChoice> ParseSoundChoice(std::string_view Text);
const char* SoundChoiceName(TSoundChoice Choice);

} // namespace vardocle
