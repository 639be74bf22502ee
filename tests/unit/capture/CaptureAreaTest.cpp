#include "platform/screen/CaptureArea.h"

#include <gtest/gtest.h>

using namespace vardocle;

namespace {

TEST(CaptureAreaText, EveryFormReadsBackAsWritten) {
    for (const char* text : {"screen", "monitor:DP-1", "region:10,20,800,600", "region:-5,0,10,10",
                             "region:pick", "window:0x1c00007", "window:pick"}) {
        std::string error;
        const auto area = ParseCaptureArea(text, &error);
        ASSERT_TRUE(area) << text << ": " << error;
        EXPECT_EQ(CaptureAreaText(*area), text);
    }
    // A decimal window id is the same window as its hex form.
    EXPECT_EQ(ParseCaptureArea("window:29360135")->Window, 0x1c00007u);
}

TEST(CaptureAreaText, BadValuesSayWhatIsAllowed) {
    for (const char* text : {"", "screen:1", "monitor:", "region:0,0,0,10", "region:1,2,3",
                             "region:1,2,3,4,5", "region:a,b,c,d", "region:0,0,6000,10", "window:0",
                             "window:zz", "window:0x", "windows:1", "garbage"}) {
        std::string error;
        EXPECT_FALSE(ParseCaptureArea(text, &error)) << text;
        EXPECT_NE(error.find("region:X,Y"), std::string::npos) << text;
    }
}

TEST(PlaceArea, MonitorsAndRegionsAreFoundWholePartOrGone) {
    const std::vector<TNamedMonitor> monitors{{"A", {0, 0, 1024, 768}, false},
                                              {"B", {1024, 0, 800, 600}, true}};
    const auto place = [&](const char* text) {
        return PlaceArea(*ParseCaptureArea(text), monitors, 1824, 768);
    };
    EXPECT_EQ(place("screen").Area, (TScreenRect{1024, 0, 800, 600}));
    EXPECT_EQ(place("monitor:A").Area, (TScreenRect{0, 0, 1024, 768}));
    EXPECT_EQ(place("monitor:NOPE").Placement, TAreaPlacement::Gone);
    EXPECT_EQ(place("region:100,100,400,300").Placement, TAreaPlacement::Whole);
    const auto partial = place("region:1700,700,400,300");
    EXPECT_EQ(partial.Placement, TAreaPlacement::Partial);
    EXPECT_EQ(partial.Area, (TScreenRect{1700, 700, 400, 300}));
    EXPECT_EQ(partial.Visible, (TScreenRect{1700, 700, 124, 68}));
    EXPECT_EQ(place("region:-500,0,100,100").Placement, TAreaPlacement::Gone);
    EXPECT_FALSE(
        AreaMissingMessage(*ParseCaptureArea("monitor:NOPE"), TAreaPlacement::Gone).empty());
}

} // namespace
