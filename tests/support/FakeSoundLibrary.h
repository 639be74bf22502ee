#pragma once
// A sound library for tests: it delivers the blocks a test chooses, on the
// test's thread or on a thread of its own, and records what was asked of it
// (calls in order, input switches with their volumes).
#include "platform/sound/SoundLibrary.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace vardocle::test {

struct FakeInput {
    std::string Name;
    bool On = false;
    float Volume = 0.5F;
};

struct InputSwitch {
    int Input;
    std::uint32_t Flags;
    float Volume;
};

class FakeSoundLibrary : public TSoundLibrary {
public:
    // What the library reports and how its calls end.
    std::uint32_t Version = kSoundLibraryVersion;
    bool RecordInitResult = true;
    bool InitResult = true;
    bool StartFails = false;
    std::vector<FakeInput> Inputs;

    // What was asked of it.
    std::vector<std::string> Calls;
    std::vector<InputSwitch> Switches;
    std::uint32_t StartFrequency = 0;
    std::uint32_t StartChannels = 0;

    std::uint32_t GetVersion() override { return Version; }
    bool Init(int, std::uint32_t) override { return Note("Init", InitResult); }
    bool Free() override { return Note("Free", true); }
    bool RecordInit(int) override { return Note("RecordInit", RecordInitResult); }
    bool RecordFree() override { return Note("RecordFree", true); }
    std::optional<std::string> RecordGetInputName(int Input) override {
        if (!Valid(Input))
            return std::nullopt;
        return Inputs[static_cast<std::size_t>(Input)].Name;
    }
    std::int32_t RecordGetInput(int Input, float* Volume) override {
        if (!Valid(Input))
            return -1;
        const FakeInput& input = Inputs[static_cast<std::size_t>(Input)];
        if (Volume != nullptr)
            *Volume = input.Volume;
        return input.On ? 0 : static_cast<std::int32_t>(kInputOff);
    }
    bool RecordSetInput(int Input, std::uint32_t Flags, float Volume) override {
        Switches.push_back({Input, Flags, Volume});
        if (!Valid(Input))
            return false;
        FakeInput& input = Inputs[static_cast<std::size_t>(Input)];
        if ((Flags & kInputOff) != 0)
            input.On = false;
        if ((Flags & kInputOn) != 0)
            input.On = true;
        if (Volume >= 0.0F)
            input.Volume = Volume;
        return true;
    }
    std::uint32_t RecordStart(std::uint32_t Frequency, std::uint32_t Channels, std::uint32_t,
                              TRecordProc Proc, void* User) override {
        Calls.emplace_back("RecordStart");
        StartFrequency = Frequency;
        StartChannels = Channels;
        if (StartFails)
            return 0;
        FProc = Proc;
        FUser = User;
        Active = true;
        return ++FLastHandle;
    }
    bool ChannelIsActive(std::uint32_t Handle) override {
        return Handle != 0 && Handle == FLastHandle && Active;
    }
    bool ChannelStop(std::uint32_t Handle) override {
        Calls.emplace_back("ChannelStop");
        if (Handle == 0 || Handle != FLastHandle)
            return false;
        Active = false;
        FProc = nullptr;
        return true;
    }
    std::uint32_t ChannelGetOverruns(std::uint32_t) override { return 0; }

    // Hands one block to the recorder's callback, as the library's thread would.
    bool Feed(const void* Buffer, std::uint32_t Length) {
        if (FProc == nullptr)
            return false;
        return FProc(FLastHandle, Buffer, Length, FUser);
    }
    bool Feed(const std::vector<std::uint8_t>& Block) {
        return Feed(Block.data(), static_cast<std::uint32_t>(Block.size()));
    }
    // The device goes away: no more blocks, the channel ends by itself.
    void LoseDevice() {
        Active = false;
        FProc = nullptr;
    }
    bool Recording() const { return FProc != nullptr; }

    std::atomic<bool> Active{false};

private:
    bool Valid(int Input) const {
        return Input >= 0 && static_cast<std::size_t>(Input) < Inputs.size();
    }
    bool Note(const char* Call, bool Result) {
        Calls.emplace_back(Call);
        return Result;
    }

    TRecordProc FProc = nullptr;
    void* FUser = nullptr;
    std::uint32_t FLastHandle = 0;
};

} // namespace vardocle::test
