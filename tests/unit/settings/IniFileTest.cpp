#include "app/IniFile.h"

#include "SettingFiles.h"
#include "tests/support/TestSupport.h"

#include <climits>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace vardocle {
namespace {

using test::ReadFile;
using test::WriteFile;

class IniFileTest : public ::testing::Test {
protected:
    test::TempDir Dir;
    std::filesystem::path File = Dir / "Setting.ini";
};

TEST(IniInteger, DecimalHexadecimalAndWhatIsNoNumber) {
    struct TCase {
        const char* Text;
        bool Number;
        int Value;
    };
    const TCase cases[] = {
        {"2", true, 2},
        {" 42 ", true, 42},
        {"-7", true, -7},
        {"+3", true, 3},
        {"0x10", true, 16},
        {"0XfF", true, 255},
        {"0x", false, 0},
        {"0x1g", false, 0},
        {"abc", false, 0},
        {"12abc", false, 0},
        {"", false, 0},
        {"-", false, 0},
        {"1 2", false, 0},
        {"010", true, 10},
        {"99999999999", true, INT_MAX},
        {"-99999999999", true, INT_MIN},
        {"0x7FFFFFFFFF", true, INT_MAX},
    };
    for (const auto& c : cases) {
        int value = 0;
        EXPECT_EQ(ParseIniInteger(c.Text, value), c.Number) << c.Text;
        if (c.Number) {
            EXPECT_EQ(value, c.Value) << c.Text;
        }
    }
}

TEST_F(IniFileTest, MissingFileSectionOrKeyReadsTheDefault) {
    TIniFile ini(File);
    EXPECT_EQ(ini.ReadInteger("Main", "Rate", 2), 2);
    WriteFile(File, "[Other]\nRate=4\n");
    EXPECT_EQ(ini.ReadInteger("Main", "Rate", 2), 2);
    EXPECT_FALSE(ini.ValueExists("Main", "Rate"));
    EXPECT_TRUE(ini.ValueExists("other", "RATE"));
}

TEST_F(IniFileTest, ReadsThroughGarbageDuplicatesCrLfAndByteOrderMark) {
    WriteFile(File, "\xEF\xBB\xBF"
                    "garbage without equals\r\n"
                    "[Main]\r\n"
                    "; Rate=5 a comment\r\n"
                    "  Rate = 4 \r\n"
                    "rate=1\r\n"
                    "=nokey\r\n"
                    "Width=abc\r\n"
                    "RecordTrans=2\r\n"
                    "[Main\r\n"
                    "Height=0x10\r\n");
    TIniFile ini(File);
    EXPECT_EQ(ini.ReadInteger("Main", "Rate", 2), 4); // the first of duplicates
    EXPECT_EQ(ini.ReadInteger("Main", "Width", 1920), 1920);
    EXPECT_TRUE(ini.ReadBool("Main", "RecordTrans", false));
    EXPECT_EQ(ini.ReadInteger("Main", "Height", 1080), 16);
    EXPECT_EQ(ini.ReadString("Main", "Width", "x"), "abc");
}

TEST_F(IniFileTest, WriteChangesOnlyItsKeyAndKeepsEverythingElse) {
    const std::string original = "\xEF\xBB\xBF"
                                 "# note\r\n"
                                 "[Main]\r\n"
                                 "Path=/opt/x/\r\n"
                                 "junk line\r\n"
                                 "Rate=9\r\n"
                                 "Rate=8\r\n"
                                 "\r\n"
                                 "[Other]\r\n"
                                 "Rate=3\r\n";
    WriteFile(File, original);
    TIniFile ini(File);
    ini.WriteInteger("Main", "Rate", 2);
    ini.WriteBool("Main", "RecordCursor", false);
    EXPECT_EQ(ReadFile(File), "\xEF\xBB\xBF"
                              "# note\r\n"
                              "[Main]\r\n"
                              "Path=/opt/x/\r\n"
                              "junk line\r\n"
                              "Rate=2\r\n"
                              "Rate=8\r\n"
                              "RecordCursor=0\r\n"
                              "\r\n"
                              "[Other]\r\n"
                              "Rate=3\r\n");
}

TEST_F(IniFileTest, DeleteKeyTakesOutEveryLineOfItsSectionOnly) {
    WriteFile(File, "\xEF\xBB\xBF"
                    "[Main]\r\n"
                    "Timer=1\r\n"
                    "Rate=9\r\n"
                    " timer = 2\r\n"
                    "[Other]\r\n"
                    "Timer=3\r\n"
                    "[main]\r\n"
                    "Timer=4");
    TIniFile ini(File);
    ini.DeleteKey("Main", "Timer");
    EXPECT_EQ(ReadFile(File), "\xEF\xBB\xBF"
                              "[Main]\r\n"
                              "Rate=9\r\n"
                              "[Other]\r\n"
                              "Timer=3\r\n"
                              "[main]\r\n");
    EXPECT_FALSE(ini.ValueExists("Main", "Timer"));
    EXPECT_EQ(ini.ReadInteger("Other", "Timer", 0), 3);

    // Nothing to take out: the file is neither written nor made.
    ini.DeleteKey("Main", "Timer");
    EXPECT_EQ(ReadFile(File).size(), 45u);
    TIniFile missing(Dir / "None.ini");
    missing.DeleteKey("Main", "Timer");
    EXPECT_FALSE(std::filesystem::exists(Dir / "None.ini"));
}

TEST_F(IniFileTest, FirstWriteCreatesTheFileAndMissingSectionIsAppended) {
    TIniFile ini(File);
    ini.WriteBool("Main", "RecordCursor", true);
    ini.WriteInteger("Main", "Width", 1920);
    EXPECT_EQ(ReadFile(File), "[Main]\nRecordCursor=1\nWidth=1920\n");

    WriteFile(File, "[Other]\nA=1"); // no line break at the end
    ini.WriteString("Main", "Path", "/x/");
    EXPECT_EQ(ReadFile(File), "[Other]\nA=1\n[Main]\nPath=/x/\n");
}

TEST_F(IniFileTest, HugeFilesAndLinesAreReadAndKeptWhole) {
    // Ten million line breaks and a line of a megabyte before the key.
    const std::string blank(10'000'000, '\n');
    const std::string longLine = "Note=" + std::string(1'000'000, 'x');
    WriteFile(File, "[Main]\n" + longLine + "\n" + blank + "Rate=4\n");
    TIniFile ini(File);
    EXPECT_EQ(ini.ReadInteger("Main", "Rate", 2), 4);
    EXPECT_EQ(ini.ReadString("Main", "Note", "").size(), 1'000'000u);
    ini.WriteInteger("Main", "Rate", 5);
    EXPECT_EQ(ReadFile(File), "[Main]\n" + longLine + "\n" + blank + "Rate=5\n");
}

TEST_F(IniFileTest, WriteKeepsEachLinesOwnLineEnd) {
    // Including a stray carriage return, which a value must not lose.
    WriteFile(File, "[Main]\r\nPath=/a/\r\r\nRate=1\nWidth=9\r");
    TIniFile ini(File);
    ini.WriteInteger("Main", "Rate", 3);
    EXPECT_EQ(ReadFile(File), "[Main]\r\nPath=/a/\r\r\nRate=3\r\nWidth=9\r\n");
    EXPECT_EQ(ini.ReadString("Main", "Path", ""), "/a/\r");
}

TEST_F(IniFileTest, ValueCannotAddLines) {
    TIniFile ini(File);
    ini.WriteString("Main", "Path", "/a\n[Evil]\r\nRate=5");
    EXPECT_EQ(ini.ReadString("Evil", "Rate", "none"), "none");
    EXPECT_EQ(ini.ReadString("Main", "Path", ""), "/a [Evil]  Rate=5");
}

TEST_F(IniFileTest, UnwritableFileRaisesTheMessageWithTheFullPathAndStaysUntouched) {
    WriteFile(File, "[Main]\nRate=3\n");
    ASSERT_EQ(::chmod(File.c_str(), 0444), 0);
    TIniFile ini(File);
    try {
        ini.WriteInteger("Main", "Rate", 5);
        FAIL() << "no error";
    } catch (const EIniFileException& error) {
        EXPECT_EQ(std::string(error.what()), "Unable to write to " + File.string());
    }
    EXPECT_EQ(ReadFile(File), "[Main]\nRate=3\n");
    EXPECT_EQ(ini.ReadInteger("Main", "Rate", 2), 3);

    // A folder where the file should be, and a missing folder.
    std::filesystem::create_directory(Dir / "Folder.ini");
    EXPECT_THROW(TIniFile(Dir / "Folder.ini").WriteInteger("Main", "Rate", 1), EIniFileException);
    EXPECT_THROW(TIniFile(Dir / "none" / "Setting.ini").WriteInteger("Main", "Rate", 1),
                 EIniFileException);
}

TEST_F(IniFileTest, ReplacedFileKeepsItsPermissionsAndLeavesNoTemporaryFiles) {
    WriteFile(File, "[Main]\nRate=3\n");
    ASSERT_EQ(::chmod(File.c_str(), 0640), 0);
    TIniFile(File).WriteInteger("Main", "Rate", 4);
    struct stat info {};
    ASSERT_EQ(::stat(File.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Dir.Path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST_F(IniFileTest, FileBehindALinkIsWrittenWhereTheLinkPoints) {
    const auto real = Dir / "real.ini";
    WriteFile(real, "[Main]\nRate=3\n");
    std::filesystem::create_symlink(real, File);
    TIniFile(File).WriteInteger("Main", "Rate", 5);
    EXPECT_TRUE(std::filesystem::is_symlink(File));
    EXPECT_EQ(ReadFile(real), "[Main]\nRate=5\n");
}

} // namespace
} // namespace vardocle
