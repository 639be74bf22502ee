#pragma once
// A receiver that records what the manager asked of it and lets a test
// refuse registrations, fail releases and deliver presses.
#include "platform/hotkeys/HotKeyReceiver.h"

#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace vardocle::test {

struct TReceiverLog {
    std::vector<std::string> Calls; // "register id mods key", "unregister id"
    std::set<std::pair<std::uint16_t, std::uint16_t>> Refused; // (modifiers, key)
    bool FailUnregister = false;
    std::set<std::uint16_t> Held;
    IHotKeyReceiver::THandler Handler;

    void Press(std::uint16_t id, std::uint16_t modifiers, std::uint16_t key) const {
        // A copy, as the desktop's receiver does: the handler may destroy the manager.
        if (auto handler = Handler)
            handler(THotKeyMessage{id, modifiers, key});
    }
};

class TRecordingHotKeyReceiver final : public IHotKeyReceiver {
public:
    explicit TRecordingHotKeyReceiver(std::shared_ptr<TReceiverLog> log) : FLog(std::move(log)) {}
    ~TRecordingHotKeyReceiver() override { FLog->Handler = nullptr; }

    bool RegisterHotKey(std::uint16_t id, std::uint16_t modifiers, std::uint16_t key) override {
        FLog->Calls.push_back("register " + std::to_string(id) + " " + std::to_string(modifiers) +
                              " " + std::to_string(key));
        if (FLog->Refused.count({modifiers, key}) != 0)
            return false;
        FLog->Held.insert(id);
        return true;
    }
    bool UnregisterHotKey(std::uint16_t id) override {
        FLog->Calls.push_back("unregister " + std::to_string(id));
        FLog->Held.erase(id);
        return !FLog->FailUnregister;
    }
    void SetHandler(THandler handler) override { FLog->Handler = std::move(handler); }

private:
    std::shared_ptr<TReceiverLog> FLog;
};

} // namespace vardocle::test
