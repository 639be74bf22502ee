// Which screen a recording reads, and how a user or a test picks another.
#include "platform/screen/ScreenBackend.h"
#include "tools/record/RecordOptions.h"

#include <gtest/gtest.h>

#include <map>

using namespace vardocle;

namespace {

TScreenBackend Choose(std::optional<TScreenBackend> requested,
                      std::map<std::string, std::string> variables) {
    return ChooseScreenBackend(requested, [&](const char* name) -> std::optional<std::string> {
        const auto found = variables.find(name);
        return found == variables.end() ? std::nullopt : std::optional(found->second);
    });
}

} // namespace

TEST(ScreenBackend, WaylandSessionsUseThePortalOthersX11AndAnOverrideWins) {
    EXPECT_EQ(Choose(std::nullopt, {{"DISPLAY", ":0"}}), TScreenBackend::X11);
    EXPECT_EQ(Choose(std::nullopt, {{"DISPLAY", ":0"}, {"WAYLAND_DISPLAY", "wayland-1"}}),
              TScreenBackend::Portal);
    EXPECT_EQ(Choose(std::nullopt, {{"XDG_SESSION_TYPE", "wayland"}}), TScreenBackend::Portal);
    EXPECT_EQ(Choose(std::nullopt, {{"XDG_SESSION_TYPE", "x11"}, {"WAYLAND_DISPLAY", ""}}),
              TScreenBackend::X11);
    const std::map<std::string, std::string> wayland{{"WAYLAND_DISPLAY", "wayland-1"}};
    auto withVariable = wayland;
    withVariable["VARDOCLE_SCREEN"] = "x11";
    EXPECT_EQ(Choose(std::nullopt, withVariable), TScreenBackend::X11);
    // An unknown value in the variable is no choice: the session decides.
    withVariable["VARDOCLE_SCREEN"] = "gdi";
    EXPECT_EQ(Choose(std::nullopt, withVariable), TScreenBackend::Portal);
    // The command line beats the variable.
    withVariable["VARDOCLE_SCREEN"] = "x11";
    EXPECT_EQ(Choose(TScreenBackend::Portal, withVariable), TScreenBackend::Portal);
}

TEST(ScreenBackend, TheRecorderTakesScreenOnTheCommandLine) {
    TRecordOptions options;
    ASSERT_FALSE(ParseRecordOptions({"out.avi", "--screen", "portal"}, options));
    EXPECT_EQ(options.Screen, TScreenBackend::Portal);
    options = {};
    ASSERT_FALSE(ParseRecordOptions({"out.avi"}, options));
    EXPECT_FALSE(options.Screen);
    options = {};
    const auto mistake = ParseRecordOptions({"out.avi", "--screen", "wayland"}, options);
    ASSERT_TRUE(mistake);
    EXPECT_NE(mistake->English.find("x11 or portal"), std::string::npos);
    EXPECT_TRUE(ParseRecordOptions({"out.avi", "--screen"}, options));
}
