#pragma once
// How a recording's sound ends, the same for every program that records.
#include "engine/RecordThread.h"
#include "engine/WavRecord.h"

#include <cstdint>
#include <memory>

namespace vardocle {

// Sound collected before each disk write: about 2.3 s.
inline constexpr std::int32_t kWavBufferSize = 400000;

// Ends the sound recording, paused or not, and hands the sound card's measured
// clock to the capture thread, whose merge fits the sound to the video's
// length. Must come before the thread ends: the merge reads the sound file.
// The thread's time ends first, where the sound ends: closing the sound can
// take long enough for another frame slot to begin, which the sound would
// not have.
void StopSoundForMerge(std::unique_ptr<TWavRecord>& recorder, TRecordThread* thread);

} // namespace vardocle
