#include "bench/longrun/SoundFeeder.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>

namespace vardocle::bench {

namespace {

constexpr std::int64_t kBlockMs = 20;

std::int64_t FramesAt(std::int64_t ms) {
    return ms * std::int64_t(kWavSampleRate) / 1000;
}

} // namespace

TSoundFeeder::TSoundFeeder(TFastClock& clock, test::FakeSoundLibrary& library)
    : FClock(clock), FLibrary(library) {
    // A whole number of periods, so that blocks join without a click.
    const std::int64_t frames = FramesAt(kBlockMs);
    for (std::int64_t i = 0; i < frames; ++i) {
        const double phase = 2 * std::numbers::pi * 1000.0 * double(i) / kWavSampleRate;
        const auto sample = static_cast<std::int16_t>(std::lround(8000 * std::sin(phase)));
        for (std::uint32_t channel = 0; channel < kWavChannels; ++channel) {
            FTone.push_back(std::uint8_t(std::uint16_t(sample) & 0xFF));
            FTone.push_back(std::uint8_t(std::uint16_t(sample) >> 8));
        }
    }
}

TSoundFeeder::~TSoundFeeder() {
    WaitForEnd();
}

void TSoundFeeder::Start() {
    FThread = std::thread([this] { Run(); });
}

void TSoundFeeder::WaitForEnd() {
    if (FThread.joinable())
        FThread.join();
}

TSoundClock TSoundFeeder::Clock() {
    return [this] {
        return std::chrono::steady_clock::time_point(std::chrono::milliseconds(FSoundNowMs));
    };
}

void TSoundFeeder::Run() {
    std::int64_t fed = 0;
    for (;;) {
        const bool stopped = FClock.Stopped();
        const std::int64_t until = stopped ? FClock.StopMs() : FClock.NowMs();
        // Whole blocks while the clock runs; the rest once it stopped.
        if (fed >= until || (!stopped && fed + kBlockMs > until)) {
            if (stopped)
                return;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            continue;
        }
        const std::int64_t next = std::min(fed + kBlockMs, until);
        const std::int64_t bytes = (FramesAt(next) - FramesAt(fed)) * kWavBlockAlign;
        FSoundNowMs = next;
        FLibrary.Feed(FTone.data(), static_cast<std::uint32_t>(bytes));
        FBytesFed += bytes;
        fed = next;
    }
}

} // namespace vardocle::bench
