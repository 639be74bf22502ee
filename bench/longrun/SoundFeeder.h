#pragma once
// The test sound source's thread: hands the recorder 20 ms blocks of a
// 1 kHz tone as fast as the fast clock allows, each stamped with the
// simulated moment it ends, and the last one cut exactly at the clock's stop.
#include "bench/longrun/FastClock.h"
#include "engine/WavRecord.h"
#include "tests/support/FakeSoundLibrary.h"

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

namespace vardocle::bench {

class TSoundFeeder {
public:
    TSoundFeeder(TFastClock& clock, test::FakeSoundLibrary& library);
    // Joins the thread (it ends by itself at the clock's stop).
    ~TSoundFeeder();
    TSoundFeeder(const TSoundFeeder&) = delete;
    TSoundFeeder& operator=(const TSoundFeeder&) = delete;

    // After the recorder's Start, which hands the library its callback.
    void Start();
    // Blocks until every block up to the clock's stop was delivered.
    void WaitForEnd();
    // The recorder's clock: the end of the block being delivered.
    TSoundClock Clock();
    std::int64_t BytesFed() const { return FBytesFed; }

private:
    void Run();

    TFastClock& FClock;
    test::FakeSoundLibrary& FLibrary;
    std::vector<std::uint8_t> FTone;
    std::atomic<std::int64_t> FSoundNowMs{0};
    std::atomic<std::int64_t> FBytesFed{0};
    std::thread FThread;
};

} // namespace vardocle::bench
