#include "app/SettingStore.h"
#include "app/IniFile.h"
#include "platform/base/Paths.h"

#include "SettingFiles.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace vardocle {
namespace {

using test::ReadFile;
using test::WriteFile;

class SettingStoreTest : public ::testing::Test {
protected:
    test::TempDir Dir;
    std::filesystem::path File = Dir / "Setting.ini";
    const QSize Screen{1920, 1080};
};

TEST_F(SettingStoreTest, FirstRunCreatesTheFileWithTheScreensSizeAndGivesThat) {
    const TSettingValues created = LoadSettingFile(File, Screen);
    EXPECT_EQ(created, (TSettingValues{true, false, 2, 1920, 1080}));
    EXPECT_EQ(ReadFile(File), "[Main]\nPath=" + Dir.Path().string() +
                                  "/\nRecordCursor=1\nRecordTrans=0\nRate=2\n"
                                  "Width=1920\nHeight=1080\n");
    // What the window then shows is what exit writes back: the screen's size.
    SaveSettingFile(File, created);
    EXPECT_EQ(LoadSettingFile(File, QSize(800, 600)), created);
}

TEST_F(SettingStoreTest, MissingKeysAndNonNumbersReadTheirDefaults) {
    WriteFile(File, "[Main]\nWidth=abc\nRecordCursor=x\nRate=\n");
    const auto values = LoadSettingFile(File, Screen);
    EXPECT_TRUE(values.RecordCursor);
    EXPECT_FALSE(values.RecordTrans);
    EXPECT_EQ(values.Rate, 2);
    EXPECT_EQ(values.Width, 1920);
    EXPECT_EQ(values.Height, 1080);
}

TEST_F(SettingStoreTest, ValuesAreReadAsWrittenForTheWindowToBringIntoRange) {
    WriteFile(File, "[Main]\nRecordCursor=0\nRecordTrans=2\nRate=9\nWidth=0x10\nHeight=-4\n");
    const auto values = LoadSettingFile(File, Screen);
    EXPECT_FALSE(values.RecordCursor);
    EXPECT_TRUE(values.RecordTrans);
    EXPECT_EQ(values.Rate, 9);
    EXPECT_EQ(values.Width, 16);
    EXPECT_EQ(values.Height, -4);
}

TEST_F(SettingStoreTest, SaveWritesTheFiveKeysInOrderAndNeverPath) {
    WriteFile(File, "[Main]\r\nHeight=1\r\nPath=C:\\old\\\r\nCodec=mjpeg\r\n");
    SaveSettingFile(File, TSettingValues{false, true, 5, 640, 480});
    EXPECT_EQ(ReadFile(File), "[Main]\r\nHeight=480\r\nPath=C:\\old\\\r\nCodec=mjpeg\r\n"
                              "RecordCursor=0\r\nRecordTrans=1\r\nRate=5\r\nWidth=640\r\n");

    // A file without Path stays without it.
    WriteFile(File, "[Main]\nRate=1\n");
    SaveSettingFile(File, TSettingValues{});
    EXPECT_FALSE(TIniFile(File).ValueExists("Main", "Path"));
    EXPECT_EQ(LoadSettingFile(File, Screen).Rate, 2);
    EXPECT_FALSE(TIniFile(File).ValueExists("Main", "Path"));
}

TEST_F(SettingStoreTest, ReadOnlyFileStillLoadsAndSavingReportsIt) {
    WriteFile(File, "[Main]\nRate=4\n");
    ASSERT_EQ(::chmod(File.c_str(), 0444), 0);
    EXPECT_EQ(LoadSettingFile(File, Screen).Rate, 4);
    EXPECT_THROW(SaveSettingFile(File, TSettingValues{}), EIniFileException);
    EXPECT_EQ(ReadFile(File), "[Main]\nRate=4\n");
}

TEST_F(SettingStoreTest, FileThatCannotBeCreatedIsReported) {
    const auto inMissingFolder = Dir / "gone" / "Setting.ini";
    EXPECT_THROW(LoadSettingFile(inMissingFolder, Screen), EIniFileException);
}

TEST_F(SettingStoreTest, TheFileLivesBesideTheExecutable) {
    EXPECT_EQ(SettingFileName(), ExecutableDir() / "Setting.ini");
}

} // namespace
} // namespace vardocle
