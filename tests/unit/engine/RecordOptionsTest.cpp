#include "tools/record/RecordOptions.h"

#include <gtest/gtest.h>

using namespace vardocle;

namespace {

std::optional<TUsageError> Parse(const std::vector<std::string>& arguments,
                                 TRecordOptions& options) {
    options = TRecordOptions{};
    return ParseRecordOptions(arguments, options);
}

} // namespace

TEST(RecordOptions, DefaultsMatchTheRecorderSettings) {
    TRecordOptions options;
    ASSERT_FALSE(Parse({"out.avi"}, options));
    EXPECT_EQ(options.OutputFile, "out.avi");
    EXPECT_FALSE(options.Seconds);
    EXPECT_EQ(options.Rate, 2);
    EXPECT_EQ(options.Width, 1024);
    EXPECT_EQ(options.Height, 768);
    EXPECT_TRUE(options.Cursor);
    EXPECT_FALSE(options.Transparent);
    EXPECT_EQ(options.Codec, TCodecKind::H264);
    EXPECT_TRUE(options.Sound);
}

TEST(RecordOptions, ReadsEveryOption) {
    TRecordOptions options;
    ASSERT_FALSE(Parse({"--seconds", "2.5", "--rate", "5", "--size", "1x5000", "--cursor", "off",
                        "--transparent", "on", "--codec", "raw", "--no-sound", "x.avi"},
                       options));
    EXPECT_EQ(options.OutputFile, "x.avi");
    EXPECT_DOUBLE_EQ(*options.Seconds, 2.5);
    EXPECT_EQ(options.Rate, 5);
    EXPECT_EQ(options.Width, 1);
    EXPECT_EQ(options.Height, 5000);
    EXPECT_FALSE(options.Cursor);
    EXPECT_TRUE(options.Transparent);
    EXPECT_EQ(options.Codec, TCodecKind::Raw);
    EXPECT_FALSE(options.Sound);
    EXPECT_EQ(options.SoundChoice, TSoundChoice::None);

    EXPECT_TRUE(options.SizeGiven);
    EXPECT_EQ(options.Area.Kind, TAreaKind::Screen);

    // Without --size an area is recorded at its own size.
    ASSERT_FALSE(Parse({"x.avi", "--area", "region:10,20,30,40", "--segment", "2"}, options));
    EXPECT_FALSE(options.SizeGiven);
    EXPECT_EQ(options.Area.Region, (TScreenRect{10, 20, 30, 40}));
    EXPECT_EQ(options.AllDay.SegmentSeconds, 120);

    ASSERT_FALSE(Parse({"x.avi", "--sound", "both"}, options));
    EXPECT_TRUE(options.Sound);
    EXPECT_EQ(options.SoundChoice, TSoundChoice::Both);
    ASSERT_FALSE(Parse({"x.avi", "--sound", "none"}, options));
    EXPECT_FALSE(options.Sound);
}

TEST(RecordOptions, RefusesValuesOutsideTheLimits) {
    TRecordOptions options;
    for (const auto& arguments : std::vector<std::vector<std::string>>{
             {"a.avi", "--rate", "0"},
             {"a.avi", "--rate", "6"},
             {"a.avi", "--rate", "2x"},
             {"a.avi", "--rate"},
             {"a.avi", "--size", "0x10"},
             {"a.avi", "--size", "10x5001"},
             {"a.avi", "--size", "10"},
             {"a.avi", "--size", "-5x10"},
             {"a.avi", "--seconds", "0"},
             {"a.avi", "--seconds", "nan"},
             {"a.avi", "--seconds", "3s"},
             {"a.avi", "--cursor", "yes"},
             {"a.avi", "--transparent"},
             {"a.avi", "--codec", "IV41"},
             {"a.avi", "--sound", "speakers"},
             {"a.avi", "--sound"},
             {"a.avi", "--area"},
             {"a.avi", "--area", "region:1,2"},
             {"a.avi", "--unknown"},
             {"a.avi", "b.avi"},
             {},
         }) {
        const auto error = Parse(arguments, options);
        ASSERT_TRUE(error) << ::testing::PrintToString(arguments);
        EXPECT_FALSE(error->Chinese.empty());
        EXPECT_FALSE(error->English.empty());
    }
    // Help needs no output file.
    ASSERT_FALSE(Parse({"--help"}, options));
    EXPECT_TRUE(options.Help);
}
