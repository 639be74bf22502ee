// What the area choice is called, what it stores, and what it gives the
// size fields and the command line.
#include "app/CommandLine.h"
#include "app/area/AreaCaption.h"
#include "app/area/AreaSetting.h"
#include "tests/support/TestSupport.h"
#include "tests/unit/settings/SettingFiles.h"

#include <gtest/gtest.h>

#include <fstream>

namespace vardocle {
namespace {

const std::vector<TNamedMonitor> kMonitors = {{"DP-1", {0, 0, 2560, 1440}, false},
                                              {"HDMI-1", {2560, 0, 1920, 1080}, true}};

TCaptureArea Parsed(const char* text) {
    return ParseCaptureArea(text).value();
}

TEST(AreaChoice, TheRowNamesEachKindOfArea) {
    EXPECT_EQ(AreaCaption({}, kMonitors), QStringLiteral("全屏"));
    EXPECT_EQ(AreaCaption(Parsed("monitor:HDMI-1"), kMonitors),
              QStringLiteral("显示器 2 (1920×1080)"));
    EXPECT_EQ(AreaCaption(Parsed("monitor:VGA-9"), kMonitors),
              QStringLiteral("显示器 VGA-9 (未连接)"));
    EXPECT_EQ(AreaCaption(Parsed("region:10,20,800,600"), kMonitors),
              QStringLiteral("区域 800×600"));
    EXPECT_EQ(AreaCaption(Parsed("window:0x3a00007"), kMonitors, QStringLiteral("终端")),
              QStringLiteral("窗口: 终端"));
    EXPECT_EQ(AreaCaption(Parsed("window:0x3a00007"), kMonitors),
              QStringLiteral("窗口: 0x3a00007"));
    // A long title is cut, so that the row keeps its width.
    EXPECT_LE(AreaCaption(Parsed("window:7"), kMonitors, QString(40, QChar(0x6587))).size(), 18);
    EXPECT_TRUE(MonitorMenuText(kMonitors[1], 2).endsWith(QStringLiteral("（主显示器）")));
    EXPECT_FALSE(MonitorMenuText(kMonitors[0], 1).contains(QStringLiteral("主显示器")));
    EXPECT_EQ(DesktopBounds(kMonitors), (TScreenRect{0, 0, 4480, 1440}));
}

TEST(AreaChoice, TheSizeFieldsTakeTheAreaEvenWhereTheCodecNeedsIt) {
    EXPECT_EQ(FieldSizeForArea({801, 601}, TCodecKind::H264), QSize(800, 600));
    EXPECT_EQ(FieldSizeForArea({801, 601}, TCodecKind::Mjpeg), QSize(801, 601));
    EXPECT_EQ(FieldSizeForArea({7680, 2160}, TCodecKind::H264), QSize(5000, 2160));
}

TEST(AreaChoice, SettingIniKeepsTheChoiceAfterTheOtherKeysAndABadOneIsTheWholeScreen) {
    test::TempDir folder;
    const auto file = folder / "Setting.ini";
    const std::string before =
        "[Main]\nRecordCursor=1\nRecordTrans=0\nRate=2\nWidth=800\nHeight=600\n";
    std::ofstream(file) << before;
    EXPECT_EQ(LoadAreaSetting(file), TCaptureArea{});
    // The whole screen, never chosen: the file is left as it was.
    SaveAreaSetting(file, {});
    EXPECT_EQ(test::ReadFile(file), before);
    SaveAreaSetting(file, Parsed("region:10,20,800,600"));
    EXPECT_EQ(test::ReadFile(file), before + "Area=region:10,20,800,600\n");
    EXPECT_EQ(LoadAreaSetting(file), Parsed("region:10,20,800,600"));
    // Back to the whole screen once chosen: the key says so.
    SaveAreaSetting(file, {});
    EXPECT_EQ(LoadAreaSetting(file), TCaptureArea{});
    EXPECT_NE(test::ReadFile(file).find("Area=screen"), std::string::npos);
    for (const char* bad : {"region:0,0,0,10", "region:1,2,3", "nonsense", "window:0"}) {
        std::ofstream(file) << before << "Area=" << bad << "\n";
        EXPECT_EQ(LoadAreaSetting(file), TCaptureArea{}) << bad;
    }
}

TEST(AreaChoice, StartTakesAnAreaThatTravelsToTheRunningCopy) {
    const auto parsed = ParseProgramArguments(
        {"vardocle", "--command", "start", "a.avi", "--area", "window:0x1c", "--segment", "5"},
        QStringLiteral("/w"));
    ASSERT_TRUE(parsed.Arguments) << qPrintable(parsed.Error);
    const TCommandRequest request = *parsed.Arguments->Command;
    EXPECT_EQ(request.Area, Parsed("window:28"));
    EXPECT_EQ(request.SegmentSeconds, 300);
    EXPECT_EQ(DecodeRequest(EncodeRequest(request)), request);
    // Without --area the window's choice is used.
    EXPECT_FALSE(
        ParseProgramArguments({"vardocle", "--command", "start"}, "/w").Arguments->Command->Area);
    for (const QStringList& bad :
         {QStringList{"--area", "region:-5,0,0,10"}, QStringList{"--area"}}) {
        const auto refused =
            ParseProgramArguments(QStringList{"vardocle", "--command", "start"} + bad, "/w");
        EXPECT_FALSE(refused.Arguments);
        EXPECT_TRUE(refused.Error.contains(QStringLiteral("录制范围")))
            << qPrintable(refused.Error);
    }
    // Only a start records an area.
    EXPECT_FALSE(DecodeRequest(R"({"command":"stop","area":"screen"})"));
}

} // namespace
} // namespace vardocle
