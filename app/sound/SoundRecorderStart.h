#pragma once
// The sound recorder for what the user chose the sound to be made of: the
// microphone as always, or what the computer plays (with the microphone)
// mixed from the desktop's sound server.
#include "app/sound/SoundSetting.h"
#include "engine/WavRecord.h"

#include <QString>

#include <functional>
#include <memory>

namespace vardocle {

// MakeMicrophone makes the microphone's recorder. OnNotice is told, on the
// mixing thread, when a mixed source stops delivering or comes back. Empty,
// with WhyNot for the user, when the sound server cannot be reached.
std::unique_ptr<TWavRecord>
MakeSoundRecorder(const TSoundSetting& Setting,
                  const std::function<std::unique_ptr<TWavRecord>()>& MakeMicrophone,
                  std::function<void(const QString& Message)> OnNotice, QString& WhyNot);

} // namespace vardocle
