// Real key presses (xdotool through XTEST) on the test X server reach the
// hotkey manager through the application's event loop.
#include "hotkeys/HotKeyManager.h"

#include "OtherXClient.h"
#include "tests/support/TestSupport.h"

#include <QDeadlineTimer>
#include <QGuiApplication>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace vardocle {
namespace {

struct TPress {
    THotKey HotKey;
    std::uint16_t Index;
    bool operator==(const TPress&) const = default;
};

std::string AtomName(THotKey value) {
    return kHotKeyAtomPrefix + std::to_string(value);
}

class HotKeyGrabTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!test::HaveDisplay())
            return;
        // The desktop's receiver needs the X11 platform, whatever the caller set.
        qputenv("QT_QPA_PLATFORM", "xcb");
        static int argc = 1;
        static char name[] = "integration_hotkeys";
        static char* argv[] = {name, nullptr};
        App = std::make_unique<QGuiApplication>(argc, argv);
    }
    static void TearDownTestSuite() { App.reset(); }

    void SetUp() override {
        VARDOCLE_REQUIRE_DISPLAY();
        ASSERT_TRUE(Other.Connected());
        ASSERT_TRUE(RunXdotool({"version"})) << "xdotool is needed";
    }
    void TearDown() override {
        // Leave the lock keys as the next test expects them: off.
        if (!Other.Connected())
            return;
        const auto state = Other.ModifierState();
        if (Other.NumLockMask() != 0 && (state & Other.NumLockMask()))
            RunXdotool({"key", "Num_Lock"});
        if (state & XCB_MOD_MASK_LOCK)
            RunXdotool({"key", "Caps_Lock"});
    }

    std::unique_ptr<THotKeyManager> MakeManager() {
        auto manager = std::make_unique<THotKeyManager>(nullptr);
        manager->OnHotKeyPressed = [this](THotKey hotKey, std::uint16_t index) {
            Presses.push_back({hotKey, index});
        };
        return manager;
    }

    static bool RunXdotool(const QStringList& arguments) {
        return test::RunProcess("xdotool", arguments, std::chrono::seconds(10)).ExitCode == 0;
    }

    // Presses the keys, then lets the event loop deliver until `count`
    // presses were reported or two seconds passed.
    void PressAndWait(const QStringList& keys, std::size_t count) {
        QStringList arguments{"key"};
        arguments += keys;
        ASSERT_TRUE(RunXdotool(arguments));
        QDeadlineTimer deadline(2000);
        while (Presses.size() < count && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }

    static inline std::unique_ptr<QGuiApplication> App;
    test::TOtherXClient Other;
    std::vector<TPress> Presses;
};

TEST_F(HotKeyGrabTest, AltOneAndCtrlSRaiseTheEventWithValueAndIdentifier) {
    auto manager = MakeManager();
    const auto alt1 = manager->RegisterKey(0x8031);
    const auto ctrlS = manager->RegisterKey(0x4053);
    ASSERT_NE(alt1, 0);
    ASSERT_NE(ctrlS, 0);
    EXPECT_EQ(GlobalAtoms().Find(AtomName(0x8031)), alt1);

    // Alt+2 is not ours; the press after it shows that it was passed over.
    PressAndWait({"alt+1", "ctrl+s", "alt+2", "s", "ctrl+s"}, 3);
    EXPECT_EQ(Presses, (std::vector<TPress>{{0x8031, alt1}, {0x4053, ctrlS}, {0x4053, ctrlS}}));
}

TEST_F(HotKeyGrabTest, HotKeysFireWithNumLockAndCapsLockOn) {
    ASSERT_NE(Other.NumLockMask(), 0) << "the keyboard has no Num Lock modifier";
    auto manager = MakeManager();
    const auto alt1 = manager->RegisterKey(0x8031);
    const auto ctrlS = manager->RegisterKey(0x4053);

    ASSERT_TRUE(RunXdotool({"key", "Num_Lock"}));
    ASSERT_TRUE(Other.ModifierState() & Other.NumLockMask()) << "Num Lock did not turn on";
    PressAndWait({"alt+1", "ctrl+s"}, 2);
    EXPECT_EQ(Presses, (std::vector<TPress>{{0x8031, alt1}, {0x4053, ctrlS}}));

    ASSERT_TRUE(RunXdotool({"key", "Caps_Lock"}));
    ASSERT_TRUE(Other.ModifierState() & XCB_MOD_MASK_LOCK) << "Caps Lock did not turn on";
    Presses.clear();
    PressAndWait({"alt+1"}, 1);
    EXPECT_EQ(Presses, (std::vector<TPress>{{0x8031, alt1}}));
}

TEST_F(HotKeyGrabTest, KeyHeldByAnotherClientIsRefusedAtOnceAndLeavesNoAtom) {
    ASSERT_TRUE(Other.Grab(0x8032));
    auto manager = MakeManager();
    EXPECT_EQ(manager->RegisterKey(0x8032), 0);
    EXPECT_EQ(GlobalAtoms().Find(AtomName(0x8032)), 0);
    EXPECT_TRUE(manager->Entries().empty());
    // The refusal spoils nothing for the keys that are free.
    EXPECT_NE(manager->RegisterKey(0x8031), 0);
    Other.UngrabAll();
}

TEST_F(HotKeyGrabTest, PartlyHeldKeyIsRefusedAndWhatWasTakenIsGivenBack) {
    // The other program holds Alt+3 only with Num Lock on.
    ASSERT_TRUE(Other.Grab(0x8033, false, true));
    auto manager = MakeManager();
    EXPECT_EQ(manager->RegisterKey(0x8033), 0);
    Other.UngrabAll();
    EXPECT_TRUE(Other.CanGrabFully(0x8033));
}

TEST_F(HotKeyGrabTest, AfterDestructionAnotherClientCanGrabEveryKey) {
    const THotKey keys[] = {0x8031, 0x8032, 0x8033, 0x8034, 0x4053, 0x8051};
    auto manager = MakeManager();
    for (THotKey key : keys)
        ASSERT_NE(manager->RegisterKey(key), 0) << std::hex << key;
    // While the manager lives, the keys are really taken.
    for (THotKey key : keys)
        EXPECT_FALSE(Other.Grab(key)) << std::hex << key;

    manager.reset();
    for (THotKey key : keys) {
        EXPECT_TRUE(Other.CanGrabFully(key)) << std::hex << key;
        EXPECT_EQ(GlobalAtoms().Find(AtomName(key)), 0);
    }
}

TEST_F(HotKeyGrabTest, SameHotKeyTwiceIsRefusedAndTheFirstKeepsWorking) {
    auto manager = MakeManager();
    auto second = MakeManager();
    const auto alt1 = manager->RegisterKey(0x8031);
    ASSERT_NE(alt1, 0);
    EXPECT_EQ(manager->RegisterKey(0x8031), 0);
    EXPECT_EQ(second->RegisterKey(0x8031), 0);
    second.reset();

    PressAndWait({"alt+1"}, 1);
    EXPECT_EQ(Presses, (std::vector<TPress>{{0x8031, alt1}}));
    manager.reset();
    EXPECT_EQ(GlobalAtoms().Find(AtomName(0x8031)), 0);
}

TEST_F(HotKeyGrabTest, HandlerThatDestroysTheManagerReleasesItsKeys) {
    auto manager = MakeManager();
    ASSERT_NE(manager->RegisterKey(0x8051), 0);
    bool called = false;
    manager->OnHotKeyPressed = [&](THotKey, std::uint16_t) {
        called = true;
        manager.reset();
    };
    ASSERT_TRUE(RunXdotool({"key", "alt+q"}));
    QDeadlineTimer deadline(2000);
    while (!called && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_TRUE(called);
    EXPECT_TRUE(Other.CanGrabFully(0x8051));
}

} // namespace
} // namespace vardocle
