#pragma once
// A capture test on an X server of its own, the known wallpaper shown.
#include "tests/integration/capture/PrivateXServer.h"
#include "tests/integration/capture/TestDesktop.h"

#include <gtest/gtest.h>
#include <memory>

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

} // namespace vardocle::test
