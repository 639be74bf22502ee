#include "hotkeys/HotKeyManager.h"
#include "platform/base/QtChild.h"

#include "RecordingHotKeyReceiver.h"

#include <gtest/gtest.h>

namespace vardocle {
namespace {

using test::TReceiverLog;
using test::TRecordingHotKeyReceiver;

struct TPress {
    THotKey HotKey;
    std::uint16_t Index;
    bool operator==(const TPress&) const = default;
};

class HotKeyManagerTest : public ::testing::Test {
protected:
    std::unique_ptr<THotKeyManager> MakeManager() {
        auto manager = std::make_unique<THotKeyManager>(
            nullptr, std::make_unique<TRecordingHotKeyReceiver>(Log), Atoms);
        manager->OnHotKeyPressed = [this](THotKey hotKey, std::uint16_t index) {
            Presses.push_back({hotKey, index});
        };
        return manager;
    }
    static std::string AtomName(THotKey value) { return kHotKeyAtomPrefix + std::to_string(value); }

    std::shared_ptr<TReceiverLog> Log = std::make_shared<TReceiverLog>();
    TAtomTable Atoms;
    std::vector<TPress> Presses;
};

TEST_F(HotKeyManagerTest, RegistrationIsIdentifiedByTheAtomNamedAfterTheValue) {
    auto manager = MakeManager();
    const auto id = manager->RegisterKey(0x8031);
    ASSERT_NE(id, 0);
    EXPECT_EQ(Atoms.Find("HotKeyManagerHotKey32817"), id);
    ASSERT_EQ(Log->Calls.size(), 1u);
    EXPECT_EQ(Log->Calls[0], "register " + std::to_string(id) + " 1 49"); // MOD_ALT, '1'
    ASSERT_EQ(manager->Entries().size(), 1u);
    EXPECT_EQ(manager->Entries()[0].HotKey, 0x8031u);
    EXPECT_EQ(manager->Entries()[0].Id, id);

    const auto second = manager->RegisterKey(0x1E024);
    EXPECT_EQ(Log->Calls[1], "register " + std::to_string(second) + " 15 36");
    EXPECT_NE(second, id);
}

TEST_F(HotKeyManagerTest, RefusedHotKeyGivesZeroAndKeepsNothing) {
    Log->Refused.insert({MOD_CONTROL, 'S'});
    auto manager = MakeManager();
    const auto alt1 = manager->RegisterKey(0x8031);
    EXPECT_EQ(manager->RegisterKey(0x4053), 0);
    EXPECT_EQ(Atoms.Find(AtomName(0x4053)), 0);
    EXPECT_EQ(Atoms.Count(), 1u);
    ASSERT_EQ(manager->Entries().size(), 1u);
    EXPECT_EQ(manager->Entries()[0].Id, alt1);
}

TEST_F(HotKeyManagerTest, UnregisterAllGoesFromLastToFirstAndFreesEveryAtom) {
    auto manager = MakeManager();
    const auto a = manager->RegisterKey(0x8031);
    const auto b = manager->RegisterKey(0x8032);
    const auto c = manager->RegisterKey(0x4053);
    Log->Calls.clear();

    manager->UnregisterAll();
    EXPECT_EQ(Log->Calls, (std::vector<std::string>{"unregister " + std::to_string(c),
                                                    "unregister " + std::to_string(b),
                                                    "unregister " + std::to_string(a)}));
    EXPECT_TRUE(manager->Entries().empty());
    EXPECT_EQ(Atoms.Count(), 0u);

    // Registering again after a full release works as the first time.
    EXPECT_NE(manager->RegisterKey(0x8031), 0);
}

TEST_F(HotKeyManagerTest, AtomsAreReleasedEvenWhenTheDesktopFailsToUnregister) {
    auto manager = MakeManager();
    manager->RegisterKey(0x8031);
    manager->RegisterKey(0x8051);
    Log->FailUnregister = true;
    manager->UnregisterAll();
    EXPECT_EQ(Atoms.Count(), 0u);
    EXPECT_TRUE(manager->Entries().empty());
}

TEST_F(HotKeyManagerTest, DestructionReleasesEverythingItHeld) {
    {
        auto manager = MakeManager();
        manager->RegisterKey(0x8031);
        manager->RegisterKey(0x4053);
    }
    EXPECT_TRUE(Log->Held.empty());
    EXPECT_EQ(Atoms.Count(), 0u);
    EXPECT_FALSE(Log->Handler); // no press can reach a destroyed manager
}

TEST_F(HotKeyManagerTest, OwnerDestroysTheManagerAndItsRegistrations) {
    auto owner = std::make_unique<QObject>();
    auto* manager = MakeQtChild<THotKeyManager>(
        owner.get(), std::make_unique<TRecordingHotKeyReceiver>(Log), Atoms);
    manager->RegisterKey(0x8031);
    owner.reset();
    EXPECT_TRUE(Log->Held.empty());
    EXPECT_EQ(Atoms.Count(), 0u);
}

TEST_F(HotKeyManagerTest, PressOfARegisteredHotKeyRaisesTheEventWithValueAndIdentifier) {
    auto manager = MakeManager();
    const auto alt1 = manager->RegisterKey(0x8031);
    const auto ctrlAltQ = manager->RegisterKey(0xC051);
    Log->Press(alt1, MOD_ALT, 0x31);
    Log->Press(ctrlAltQ, MOD_CONTROL | MOD_ALT, 'Q');
    EXPECT_EQ(Presses, (std::vector<TPress>{{0x8031, alt1}, {0xC051, ctrlAltQ}}));
}

TEST_F(HotKeyManagerTest, PressesThatAreNotOursOrFindNoHandlerRaiseNothing) {
    auto manager = MakeManager();
    const auto alt1 = manager->RegisterKey(0x8031);
    Log->Press(alt1, MOD_CONTROL, 0x31); // value not in the list
    Log->Press(0xC123, MOD_ALT, 0x32);
    EXPECT_TRUE(Presses.empty());

    manager->OnHotKeyPressed = nullptr;
    Log->Press(alt1, MOD_ALT, 0x31);
    EXPECT_TRUE(Presses.empty());
}

TEST_F(HotKeyManagerTest, HandlerMayDestroyTheManager) {
    auto manager = MakeManager();
    const auto alt1 = manager->RegisterKey(0x8031);
    int calls = 0;
    manager->OnHotKeyPressed = [&](THotKey, std::uint16_t) {
        ++calls;
        manager.reset();
    };
    Log->Press(alt1, MOD_ALT, 0x31);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(manager, nullptr);
    EXPECT_EQ(Atoms.Count(), 0u);
}

TEST_F(HotKeyManagerTest, ManagersShareAtomsButKeepTheirOwnLists) {
    auto log2 = std::make_shared<TReceiverLog>();
    auto first = MakeManager();
    THotKeyManager second(nullptr, std::make_unique<TRecordingHotKeyReceiver>(log2), Atoms);
    const auto a = first->RegisterKey(0x8031);
    const auto b = second.RegisterKey(0x8031);
    EXPECT_EQ(a, b); // the same name is the same atom
    first.reset();
    EXPECT_EQ(Atoms.Find(AtomName(0x8031)), b); // still held by the second
    second.UnregisterAll();
    EXPECT_EQ(Atoms.Count(), 0u);
}

} // namespace
} // namespace vardocle
