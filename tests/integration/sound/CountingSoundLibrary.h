#pragma once
// Passes every call to a real sound library and counts the blocks it delivers,
// so that a test can wait for the first block and check their lengths.
#include "platform/sound/SoundLibrary.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace vardocle::test {

class CountingSoundLibrary : public TSoundLibrary {
public:
    explicit CountingSoundLibrary(std::shared_ptr<TSoundLibrary> Real) : FReal(std::move(Real)) {}

    std::atomic<int> Blocks{0};
    std::atomic<std::uint32_t> LongestBlock{0};
    std::atomic<std::uint32_t> LastBlock{0};
    // Blocks shorter than the longest seen before them.
    std::atomic<int> ShortBlocks{0};

    // True once Count blocks arrived, false after the timeout.
    bool WaitForBlocks(int Count, std::chrono::milliseconds Timeout) const {
        const auto end = std::chrono::steady_clock::now() + Timeout;
        while (Blocks < Count) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }

    std::uint32_t GetVersion() override { return FReal->GetVersion(); }
    bool Init(int Device, std::uint32_t Frequency) override {
        return FReal->Init(Device, Frequency);
    }
    bool Free() override { return FReal->Free(); }
    bool RecordInit(int Device) override { return FReal->RecordInit(Device); }
    bool RecordFree() override { return FReal->RecordFree(); }
    std::optional<std::string> RecordGetInputName(int Input) override {
        return FReal->RecordGetInputName(Input);
    }
    std::int32_t RecordGetInput(int Input, float* Volume) override {
        return FReal->RecordGetInput(Input, Volume);
    }
    bool RecordSetInput(int Input, std::uint32_t Flags, float Volume) override {
        return FReal->RecordSetInput(Input, Flags, Volume);
    }
    std::uint32_t RecordStart(std::uint32_t Frequency, std::uint32_t Channels, std::uint32_t Flags,
                              TRecordProc Proc, void* User) override {
        FProc = Proc;
        FUser = User;
        return FReal->RecordStart(Frequency, Channels, Flags, &CountingSoundLibrary::Count, this);
    }
    bool ChannelIsActive(std::uint32_t Handle) override { return FReal->ChannelIsActive(Handle); }
    bool ChannelStop(std::uint32_t Handle) override { return FReal->ChannelStop(Handle); }
    std::uint32_t ChannelGetOverruns(std::uint32_t Handle) override {
        return FReal->ChannelGetOverruns(Handle);
    }

private:
    static bool Count(std::uint32_t Handle, const void* Buffer, std::uint32_t Length, void* User) {
        auto* self = static_cast<CountingSoundLibrary*>(User);
        if (Length < self->LongestBlock)
            ++self->ShortBlocks;
        self->LastBlock = Length;
        if (Length > self->LongestBlock)
            self->LongestBlock = Length;
        const bool goOn = self->FProc(Handle, Buffer, Length, self->FUser);
        ++self->Blocks;
        return goOn;
    }

    std::shared_ptr<TSoundLibrary> FReal;
    TRecordProc FProc = nullptr;
    void* FUser = nullptr;
};

} // namespace vardocle::test
