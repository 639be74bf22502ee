#include "engine/SoundChoice.h"

namespace vardocle {

namespace {

constexpr const char* kNames[] = {"mic", "system", "both", "none"};

} // namespace

std::optional<TSoundChoice> ParseSoundChoice(std::string_view Text) {
    for (int i = 0; i < 4; ++i)
        if (Text == kNames[i])
            return static_cast<TSoundChoice>(i);
    return std::nullopt;
}

const char* SoundChoiceName(TSoundChoice Choice) {
    return kNames[static_cast<int>(Choice)];
}

} // namespace vardocle
