#include "engine/SoundHandOff.h"

namespace vardocle {

void StopSoundForMerge(std::unique_ptr<TWavRecord>& recorder, TRecordThread* thread) {
    if (thread)
        thread->Suspend();
    if (!recorder)
        return;
    recorder->Resume();
    recorder->Stop();
    if (thread)
        thread->SetSoundClockRatio(recorder->ClockRatio());
    recorder.reset();
}

} // namespace vardocle
