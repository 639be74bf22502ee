#pragma once
// A capture test on an X server of its own, the known wallpaper shown.
#include "tests/integration/capture/PrivateXServer.h"
#include "tests/integration/capture/TestDesktop.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace vardocle::test {

class TPrivateDesktopTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(FServer.Name().empty()) << "Xvfb did not start";
        FDesktop = std::make_unique<TTestDesktop>(FServer.Name());
        ASSERT_TRUE(FDesktop->Connected());
        FDesktop->ShowWallpaper();
    }

    TPrivateXServer FServer;
    std::unique_ptr<TTestDesktop> FDesktop;
};

// The same, started by the test itself with the X server's arguments it needs.
class TLaterDesktopTest : public ::testing::Test {
protected:
    void Start(const std::vector<std::string>& serverArguments = {}) {
        FServer = std::make_unique<TPrivateXServer>(serverArguments);
        ASSERT_FALSE(FServer->Name().empty()) << "Xvfb did not start";
        FDesktop = std::make_unique<TTestDesktop>(FServer->Name());
        ASSERT_TRUE(FDesktop->Connected());
        FDesktop->ShowWallpaper();
    }

    std::unique_ptr<TPrivateXServer> FServer;
    std::unique_ptr<TTestDesktop> FDesktop;
};

} // namespace vardocle::test
