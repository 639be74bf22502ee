// The portal's answers judged before anything is recorded from them.
#include "platform/screen/portal/PortalAnswers.h"
#include "platform/screen/portal/PortalScreen.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace vardocle;

TEST(PortalAnswers, StartAnswersWithoutAUsableStreamAreRefusedWithTheirReason) {
    EXPECT_NE(std::get<std::string>(ChoosePortalStream(std::nullopt)).find("no streams"),
              std::string::npos);
    EXPECT_TRUE(
        std::holds_alternative<std::string>(ChoosePortalStream(std::vector<TPortalStream>{})));
    const auto zero = ChoosePortalStream(std::vector<TPortalStream>{{36, true, 0, 720}});
    ASSERT_TRUE(std::holds_alternative<std::string>(zero));
    EXPECT_NE(std::get<std::string>(zero).find("0x720"), std::string::npos);

    // The first monitor is taken; a stream without a size learns it from its format.
    const auto chosen =
        ChoosePortalStream(std::vector<TPortalStream>{{36, true, 1280, 720}, {40, true, 1, 1}});
    ASSERT_TRUE(std::holds_alternative<TPortalStream>(chosen));
    EXPECT_EQ(std::get<TPortalStream>(chosen).Node, 36u);
    EXPECT_TRUE(std::holds_alternative<TPortalStream>(
        ChoosePortalStream(std::vector<TPortalStream>{{7, false, 0, 0}})));
}

TEST(PortalAnswers, EveryFailureTellsTheUserInChineseAndKeepsTheDetail) {
    for (const auto failure :
         {TPortalFailure::NoBus, TPortalFailure::NoPortal, TPortalFailure::Cancelled,
          TPortalFailure::Refused, TPortalFailure::TimedOut, TPortalFailure::BadAnswer,
          TPortalFailure::Closed, TPortalFailure::StreamFailed}) {
        const std::string message = PortalFailureMessage(failure, "detail-x");
        EXPECT_NE(message.find("detail-x"), std::string::npos);
        // Chinese text: bytes of multi-byte UTF-8 characters before the detail.
        EXPECT_GE(static_cast<unsigned char>(message.front()), 0xE0u) << message;
    }
    EXPECT_NE(PortalFailureMessage(TPortalFailure::Closed, "").find("停止共享"), std::string::npos);
}

TEST(PortalAnswers, RequestPathsArePredictedFromTheUniqueName) {
    EXPECT_EQ(PortalRequestPath(":1.42", "vardocle7_1"),
              "/org/freedesktop/portal/desktop/request/1_42/vardocle7_1");
}

TEST(RestoreToken, OnlyUsableTokensAreKeptAndReadBack) {
    vardocle::test::TempDir dir;
    const auto file = dir / "ScreenCast.token";
    EXPECT_EQ(ReadRestoreToken(file), ""); // none yet
    WriteRestoreToken(file, "2e26f099-0fe1-4265-be8b-4de0a14c5bf5");
    EXPECT_EQ(ReadRestoreToken(file), "2e26f099-0fe1-4265-be8b-4de0a14c5bf5");
    // A token with spaces or control characters is not stored over a good one.
    WriteRestoreToken(file, "a b");
    WriteRestoreToken(file, std::string("x\ny"));
    WriteRestoreToken(file, std::string(300, 'a'));
    EXPECT_EQ(ReadRestoreToken(file), "2e26f099-0fe1-4265-be8b-4de0a14c5bf5");
    // A damaged file is no token: the user chooses again, nothing fails.
    std::ofstream(file) << "\x01\x02garbage";
    EXPECT_EQ(ReadRestoreToken(file), "");
    EXPECT_FALSE(std::filesystem::exists(file.string() + ".tmp"));
}
