#include "history/HistoryFile.h"

#include "history/RecordTime.h"
#include "tests/support/TestSupport.h"

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <limits>
#include <sys/stat.h>

namespace vardocle {
namespace {

namespace fs = std::filesystem;

std::string FileBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

std::vector<HistoryRecord> ReadAll(const THistoryFile& history) {
    std::vector<HistoryRecord> records;
    THistoryReader reader = history.OpenReader();
    HistoryRecord record;
    while (reader.Next(record))
        records.push_back(record);
    return records;
}

std::vector<std::string> Paths(const THistoryFile& history) {
    std::vector<std::string> paths;
    for (const HistoryRecord& record : ReadAll(history))
        paths.push_back(record.FilePath);
    return paths;
}

HistoryRecord Record(const std::string& path, double time = 45000.25) {
    return MakeHistoryRecord(path, time);
}

class HistoryFileTest : public ::testing::Test {
protected:
    test::TempDir Dir;
    THistoryFile History{Dir.Path()};

    void Append(std::initializer_list<std::string> paths) {
        double time = 45000.0;
        for (const std::string& path : paths)
            History.AppendRecord(Record(path, time += 1));
    }
};

TEST_F(HistoryFileTest, LivesInTheGivenFolder) {
    EXPECT_EQ(History.HistoryFilePath(), Dir / "History.his");
    EXPECT_EQ(History.TempFilePath(), Dir / "History.tmp");
}

TEST_F(HistoryFileTest, AppendWritesOneWholeRecordAtTheEnd) {
    const std::string longName(60, 'n');
    const std::string longPath = "/v/" + std::string(296 - longName.size(), 'p') + "/" + longName;
    ASSERT_EQ(longPath.size(), 300u);
    History.AppendRecord(Record("/v/first.avi", 45000.5));
    History.AppendRecord(Record(longPath, 45001.75));

    const std::string bytes = FileBytes(History.HistoryFilePath());
    ASSERT_EQ(bytes.size(), 640u);
    const std::string second = bytes.substr(320);
    EXPECT_EQ(static_cast<unsigned char>(second[0]), 50);
    EXPECT_EQ(second.substr(1, 50), longName.substr(0, 50));
    EXPECT_EQ(static_cast<unsigned char>(second[51]), 255);
    EXPECT_EQ(second.substr(52, 255), longPath.substr(0, 255));
    double time = 0;
    std::memcpy(&time, second.data() + 312, sizeof time);
    EXPECT_EQ(time, 45001.75);

    const auto records = ReadAll(History);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].FilePath, "/v/first.avi");
    EXPECT_EQ(records[0].FileName, "first.avi");
    EXPECT_EQ(records[1].RecordTime, 45001.75);
}

TEST_F(HistoryFileTest, AppendHistoryRecordStampsTheCurrentLocalTime) {
    const double before = RecordTimeNow();
    History.AppendHistoryRecord("/v/now.avi");
    const double after = RecordTimeNow();
    const auto records = ReadAll(History);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_GE(records[0].RecordTime, before);
    EXPECT_LE(records[0].RecordTime, after);
}

TEST_F(HistoryFileTest, EveryOperationCreatesAMissingFileEmpty) {
    ReadAll(History);
    EXPECT_TRUE(fs::exists(History.HistoryFilePath()));
    EXPECT_EQ(fs::file_size(History.HistoryFilePath()), 0u);

    fs::remove(History.HistoryFilePath());
    History.DelRecord(0);
    EXPECT_TRUE(fs::exists(History.HistoryFilePath()));
    EXPECT_EQ(fs::file_size(History.HistoryFilePath()), 0u);

    fs::remove(History.HistoryFilePath());
    History.DelSamePath("/v/a.avi");
    EXPECT_EQ(fs::file_size(History.HistoryFilePath()), 0u);

    fs::remove(History.HistoryFilePath());
    History.AppendRecord(Record("/v/a.avi"));
    EXPECT_EQ(fs::file_size(History.HistoryFilePath()), 320u);
}

TEST_F(HistoryFileTest, ReadsEveryRecordInFileOrderAcrossManyBlocks) {
    // More records than one read of the reader holds, empty texts among them.
    for (int i = 0; i < 450; ++i)
        History.AppendRecord(Record(i % 100 == 0 ? std::string() : "/v/" + std::to_string(i), i));
    const auto records = ReadAll(History);
    ASSERT_EQ(records.size(), 450u);
    for (int i = 0; i < 450; ++i) {
        EXPECT_EQ(records[std::size_t(i)].RecordTime, double(i));
        EXPECT_EQ(records[std::size_t(i)].FilePath, i % 100 == 0 ? "" : "/v/" + std::to_string(i));
    }
}

TEST_F(HistoryFileTest, DelRecordRemovesOnePositionAndKeepsTheOrder) {
    Append({"/v/a.avi", "/v/b.avi", "/v/c.avi"});
    const std::string before = FileBytes(History.HistoryFilePath());
    History.DelRecord(0);
    EXPECT_EQ(FileBytes(History.HistoryFilePath()), before.substr(320));

    Append({"/v/d.avi"});
    History.DelRecord(1);
    EXPECT_EQ(Paths(History), (std::vector<std::string>{"/v/b.avi", "/v/d.avi"}));
    EXPECT_FALSE(fs::exists(History.TempFilePath()));
}

TEST_F(HistoryFileTest, DelRecordPastTheEndLeavesTheFileAsItWas) {
    Append({"/v/a.avi", "/v/b.avi"});
    const std::string before = FileBytes(History.HistoryFilePath());
    History.DelRecord(2);
    History.DelRecord(1000);
    EXPECT_EQ(FileBytes(History.HistoryFilePath()), before);
}

TEST_F(HistoryFileTest, DelSamePathComparesBytesExactly) {
    Append({"/v/same.avi", "/v/other.avi", "/v/same.avi", "/v/SAME.avi", "/v/same.avi",
            "/v/same.avi ", "/v/last.avi"});
    History.DelSamePath("/v/same.avi");
    EXPECT_EQ(Paths(History), (std::vector<std::string>{"/v/other.avi", "/v/SAME.avi",
                                                        "/v/same.avi ", "/v/last.avi"}));
}

TEST_F(HistoryFileTest, DelSamePathMissesAPathStoredCut) {
    const std::string longPath = "/v/" + std::string(300, 'x') + ".avi";
    History.AppendRecord(Record(longPath));
    History.DelSamePath(longPath);
    EXPECT_EQ(Paths(History).size(), 1u);
    History.DelSamePath(longPath.substr(0, 255));
    EXPECT_TRUE(Paths(History).empty());
}

TEST_F(HistoryFileTest, RewriteKeepsTheFilesPermissions) {
    Append({"/v/a.avi", "/v/b.avi"});
    fs::permissions(History.HistoryFilePath(), fs::perms::owner_read | fs::perms::owner_write);
    History.DelRecord(0);
    EXPECT_EQ(fs::status(History.HistoryFilePath()).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}

// A crash in the middle of an append leaves an incomplete record behind.
class PartialTailTest : public HistoryFileTest {
protected:
    std::string WholeRecords;

    void SetUp() override {
        Append({"/v/a.avi", "/v/b.avi", "/v/c.avi"});
        WholeRecords = FileBytes(History.HistoryFilePath());
        WriteBytes(History.HistoryFilePath(), WholeRecords + std::string(100, 'z'));
    }
};

TEST_F(PartialTailTest, ReadingDeliversWholeRecordsThenFailsOnce) {
    THistoryReader reader = History.OpenReader();
    HistoryRecord record;
    std::vector<std::string> paths;
    try {
        while (reader.Next(record))
            paths.push_back(record.FilePath);
        FAIL() << "the incomplete record was not reported";
    } catch (const EHistoryPartialTail& error) {
        EXPECT_STREQ(error.what(), "Stream read error");
        EXPECT_EQ(error.TailBytes(), 100u);
    }
    EXPECT_EQ(paths, (std::vector<std::string>{"/v/a.avi", "/v/b.avi", "/v/c.avi"}));
    EXPECT_FALSE(reader.Next(record));
    // Reading changes nothing.
    EXPECT_EQ(fs::file_size(History.HistoryFilePath()), 1060u);
}

TEST_F(PartialTailTest, ReadingFindsATailBehindAFullBlock) {
    std::string many;
    for (int i = 0; i < 200; ++i)
        many += WholeRecords.substr(0, 320);
    WriteBytes(History.HistoryFilePath(), many + "tail");
    THistoryReader reader = History.OpenReader();
    HistoryRecord record;
    int count = 0;
    EXPECT_THROW(
        {
            while (reader.Next(record))
                ++count;
        },
        EHistoryPartialTail);
    EXPECT_EQ(count, 200);
}

TEST_F(PartialTailTest, AppendDropsOnlyTheTailAndSaysSo) {
    const HistoryRepair repair = History.AppendRecord(Record("/v/d.avi"));
    EXPECT_EQ(repair.DroppedTailBytes, 100u);
    const std::string bytes = FileBytes(History.HistoryFilePath());
    ASSERT_EQ(bytes.size(), 1280u);
    EXPECT_EQ(bytes.substr(0, 960), WholeRecords);
    EXPECT_EQ(Paths(History).back(), "/v/d.avi");
    EXPECT_EQ(History.AppendRecord(Record("/v/e.avi")).DroppedTailBytes, 0u);
}

TEST_F(PartialTailTest, RemovalsDropOnlyTheTailAndSaySo) {
    EXPECT_EQ(History.DelRecord(1).DroppedTailBytes, 100u);
    EXPECT_EQ(Paths(History), (std::vector<std::string>{"/v/a.avi", "/v/c.avi"}));

    WriteBytes(History.HistoryFilePath(), WholeRecords + "z");
    EXPECT_EQ(History.DelSamePath("/v/b.avi").DroppedTailBytes, 1u);
    EXPECT_EQ(Paths(History), (std::vector<std::string>{"/v/a.avi", "/v/c.avi"}));
}

TEST_F(HistoryFileTest, RemovalsCopyAHundredThousandRecordsWholeAndInOrder) {
    // Built in one go: appending one by one would take minutes.
    std::string many;
    for (int i = 0; i < 100000; ++i) {
        const HistoryRecordBytes bytes = EncodeHistoryRecord(Record("/v/" + std::to_string(i), i));
        many.append(bytes.data(), bytes.size());
    }
    WriteBytes(History.HistoryFilePath(), many + "partial");
    EXPECT_EQ(History.DelRecord(199).DroppedTailBytes, 7u);
    EXPECT_EQ(History.DelSamePath("/v/40000").DroppedTailBytes, 0u);
    const auto records = ReadAll(History);
    ASSERT_EQ(records.size(), 99998u);
    for (std::size_t i = 0, expected = 0; i < records.size(); ++i, ++expected) {
        if (expected == 199 || expected == 40000)
            ++expected;
        ASSERT_EQ(records[i].FilePath, "/v/" + std::to_string(expected)) << i;
        ASSERT_EQ(records[i].RecordTime, double(expected));
    }
}

TEST_F(HistoryFileTest, ARecordWhoseTimeIsNoNumberCanBeRemoved) {
    Append({"/v/a.avi"});
    const HistoryRecord damaged = Record("/v/b.avi", std::numeric_limits<double>::quiet_NaN());
    History.AppendRecord(damaged);
    ASSERT_EQ(ReadAll(History).back(), damaged);
    EXPECT_TRUE(History.DelSameRecord(damaged, 1));
    EXPECT_EQ(Paths(History), std::vector<std::string>{"/v/a.avi"});
}

TEST_F(HistoryFileTest, AMissingFolderGivesTheCreateErrorForEveryOperation) {
    THistoryFile lost(Dir / "gone");
    const std::string expected =
        "Cannot create file \"" + (Dir / "gone" / "History.his").string() + "\". ";
    auto expectCreateError = [&](const std::function<void()>& operation) {
        try {
            operation();
            ADD_FAILURE() << "no error";
        } catch (const EFCreateError& error) {
            EXPECT_EQ(std::string(error.what()).substr(0, expected.size()), expected);
            EXPECT_GT(std::string(error.what()).size(), expected.size()) << "system text missing";
        }
    };
    expectCreateError([&] { lost.OpenReader(); });
    expectCreateError([&] { lost.AppendHistoryRecord("/v/a.avi"); });
    expectCreateError([&] { lost.DelRecord(0); });
    expectCreateError([&] { lost.DelSamePath("/v/a.avi"); });
}

TEST_F(HistoryFileTest, ATempFileThatCannotBeCreatedLeavesTheHistoryAsItWas) {
    Append({"/v/a.avi", "/v/b.avi"});
    const std::string before = FileBytes(History.HistoryFilePath());
    fs::create_directory(History.TempFilePath()); // in the way of the temporary file
    try {
        History.DelRecord(0);
        FAIL() << "no error";
    } catch (const EFCreateError& error) {
        const std::string expected =
            "Cannot create file \"" + History.TempFilePath().string() + "\". Is a directory";
        EXPECT_EQ(error.what(), expected);
    }
    EXPECT_EQ(FileBytes(History.HistoryFilePath()), before);
}

TEST_F(HistoryFileTest, AnUnreadableHistoryGivesTheOpenError) {
    // A folder where the file should be: it exists, but cannot be read as one.
    fs::create_directory(History.HistoryFilePath());
    const std::string expected =
        "Cannot open file \"" + History.HistoryFilePath().string() + "\". Is a directory";
    for (const auto& operation : std::vector<std::function<void()>>{
             [&] { History.OpenReader(); },
             [&] { History.AppendHistoryRecord("/v/a.avi"); },
             [&] { History.DelRecord(0); },
         }) {
        try {
            operation();
            ADD_FAILURE() << "no error";
        } catch (const EFOpenError& error) {
            EXPECT_EQ(error.what(), expected);
        }
    }
    EXPECT_TRUE(fs::is_directory(History.HistoryFilePath()));
}

} // namespace
} // namespace vardocle
