#include "history/StorageLimit.h"
#include "history/StorageUse.h"

#include "tests/support/TestSupport.h"

#include <cmath>
#include <fstream>
#include <gtest/gtest.h>

namespace vardocle {
namespace {

namespace fs = std::filesystem;
using Paths = std::vector<std::string>;
constexpr std::uint64_t kMB = std::uint64_t{1} << 20;

Paths CutPaths(const TStoragePlan& plan) {
    Paths paths;
    for (const TStorageCut& cut : plan.Cuts)
        paths.push_back(cut.Path);
    return paths;
}

TEST(StorageLimitChoice, TheOldestGoFirstUntilTheRestFits) {
    // In history order, which is not the order of their times.
    const std::vector<TStoredRecording> records{{"/v/c.avi", 3.0, 400 * kMB},
                                                {"/v/a.avi", 1.0, 400 * kMB},
                                                {"/v/b.avi", 2.0, 400 * kMB},
                                                {"/v/e.avi", 4.0, 300 * kMB}};
    const TStoragePlan plan = PlanStorageLimit(records, {}, 1024 * kMB);
    EXPECT_EQ(plan.Total, 1500 * kMB);
    // After a: 1100 MB, still over; after b: 700 MB.
    EXPECT_EQ(CutPaths(plan), (Paths{"/v/a.avi", "/v/b.avi"}));
    EXPECT_EQ(plan.Freed(), 800 * kMB);

    // Ties on the time: the record earlier in the history is the older.
    const std::vector<TStoredRecording> tied{{"/v/x.avi", 5.0, 10}, {"/v/y.avi", 5.0, 10}};
    EXPECT_EQ(CutPaths(PlanStorageLimit(tied, {}, 15)), (Paths{"/v/x.avi"}));
}

TEST(StorageLimitChoice, ExactlyAtTheLimitNothingGoes) {
    const std::vector<TStoredRecording> records{{"/v/a.avi", 1.0, 600}, {"/v/b.avi", 2.0, 400}};
    EXPECT_TRUE(PlanStorageLimit(records, {}, 1000).Cuts.empty());
    EXPECT_EQ(CutPaths(PlanStorageLimit(records, {}, 999)), (Paths{"/v/a.avi"}));
    EXPECT_EQ(CutPaths(PlanStorageLimit(records, {}, 399)), (Paths{"/v/a.avi", "/v/b.avi"}));
}

TEST(StorageLimitChoice, FilesInUseNeverGoEvenWhenTheyAreTheOldest) {
    const std::vector<TStoredRecording> records{
        {"/v/old.avi", 1.0, 500}, {"/v/mid.avi", 2.0, 500}, {"/v/new.avi", 3.0, 500}};
    // "old" is a part still being completed, "new" the file being written.
    const TStoragePlan plan = PlanStorageLimit(records, {"/v/new.avi", "/v/old.avi"}, 100);
    EXPECT_EQ(CutPaths(plan), (Paths{"/v/mid.avi"}));
    // Nothing else may go: the total stays over, and that is all that can be done.
    EXPECT_TRUE(
        PlanStorageLimit(records, {"/v/new.avi", "/v/old.avi", "/v/mid.avi"}, 100).Cuts.empty());
}

TEST(StorageLimitChoice, DuplicatedPathsCountOnceAndAreAsOldAsTheirLatestRecord) {
    // "a.avi" was recorded first and recorded over last: the file is the newest.
    const std::vector<TStoredRecording> records{
        {"/v/a.avi", 1.0, 300}, {"/v/b.avi", 2.0, 300}, {"/v/a.avi", 3.0, 300}};
    EXPECT_EQ(RecordingsTotal(records), 600u);
    const TStoragePlan plan = PlanStorageLimit(records, {}, 400);
    EXPECT_EQ(plan.Total, 600u);
    EXPECT_EQ(CutPaths(plan), (Paths{"/v/b.avi"}));
    // Listed once even when it must go with all its records.
    EXPECT_EQ(CutPaths(PlanStorageLimit(records, {}, 0)), (Paths{"/v/b.avi", "/v/a.avi"}));
}

TEST(StorageLimitChoice, MissingFilesCountNothingAndAreLeftAlone) {
    const std::vector<TStoredRecording> records{
        {"/v/gone.avi", 0.5, std::nullopt}, {"/v/a.avi", 1.0, 700}, {"/v/b.avi", 2.0, 700}};
    EXPECT_EQ(RecordingsTotal(records), 1400u);
    EXPECT_EQ(CutPaths(PlanStorageLimit(records, {}, 1000)), (Paths{"/v/a.avi"}));
    // A record of a missing file and an empty file: nothing over the limit.
    EXPECT_TRUE(PlanStorageLimit({{"/v/gone.avi", 0.5, std::nullopt}, {"/v/e.avi", 1.0, 0}}, {}, 0)
                    .Cuts.empty());
}

TEST(StorageLimitChoice, ARecordWithAnUnreadableTimeGoesLast) {
    const double damaged = std::nan("");
    const std::vector<TStoredRecording> records{
        {"/v/odd.avi", damaged, 100}, {"/v/a.avi", 9.0, 100}, {"/v/b.avi", 10.0, 100}};
    EXPECT_EQ(CutPaths(PlanStorageLimit(records, {}, 150)), (Paths{"/v/a.avi", "/v/b.avi"}));
    // A damaged duplicate does not hide the readable time of the same file.
    const std::vector<TStoredRecording> twice{
        {"/v/a.avi", 2.0, 100}, {"/v/b.avi", damaged, 100}, {"/v/b.avi", 1.0, 100}};
    EXPECT_EQ(CutPaths(PlanStorageLimit(twice, {}, 150)), (Paths{"/v/b.avi"}));
}

TEST(StorageSizes, AreShownInUnitsOf1024) {
    EXPECT_EQ(StorageSizeText(0), "0 B");
    EXPECT_EQ(StorageSizeText(1023), "1023 B");
    EXPECT_EQ(StorageSizeText(std::uint64_t{820} * 1024), "820 KB");
    EXPECT_EQ(StorageSizeText(1288490189), "1.2 GB");
    EXPECT_EQ(StorageSizeText(35 * kMB + kMB / 2), "35.5 MB");
    const std::vector<TStoredRecording> listed{{"/v/a.avi", 0, 1024 * kMB},
                                               {"/v/a.avi", 0, 1024 * kMB},
                                               {"/v/x.avi", 0, std::nullopt},
                                               {"/v/b.avi", 0, 200 * kMB}};
    EXPECT_EQ(StorageStatusText(listed), "录像共 2 个，占用 1.2 GB");
}

class StorageDeletion : public ::testing::Test {
protected:
    fs::path Make(const std::string& name, std::uint64_t size) {
        fs::path path = Dir / name;
        std::ofstream(path).close();
        fs::resize_file(path, size);
        return path;
    }
    std::vector<std::string> HistoryPaths() {
        std::vector<std::string> paths;
        THistoryReader reader = History.OpenReader();
        HistoryRecord record;
        while (reader.Next(record))
            paths.push_back(record.FilePath);
        return paths;
    }
    test::TempDir Dir;
    THistoryFile History{Dir.Path()};
};

TEST_F(StorageDeletion, DeletesTheRecordingsLeftoverSoundAndRecordsButNothingElse) {
    const std::string a = Make("a.avi", 5000).string();
    Make("a.Wav", 100); // left beside it by an earlier crash
    const std::string b = Make("b.avi", 5000).string();
    const std::string now = Make("now.AVI", 10).string();
    Make("b.Wav", 100);       // beside a recording that stays
    Make("now.Wav", 100);     // the sound of the file being written
    Make("stray.avi", 90000); // in the folder, in no record
    History.AppendRecord(MakeHistoryRecord(a, 1.0));
    History.AppendRecord(MakeHistoryRecord(b, 2.0));
    History.AppendRecord(MakeHistoryRecord(a, 1.5)); // a duplicated record of a
    History.AppendRecord(MakeHistoryRecord((Dir / "gone.avi").string(), 0.5));
    History.AppendRecord(MakeHistoryRecord(now, 3.0));

    const TStorageDeletion deletion = FreeStorage(ReadStoredRecordings(History), {now}, 6000);
    ASSERT_EQ(deletion.Deleted.size(), 1u);
    EXPECT_EQ(deletion.Deleted[0].Path, a);
    EXPECT_EQ(deletion.Freed(), 5000u);
    EXPECT_TRUE(deletion.Failed.empty());
    EXPECT_FALSE(fs::exists(a));
    EXPECT_FALSE(fs::exists(Dir / "a.Wav"));
    for (const char* kept : {"b.avi", "b.Wav", "now.AVI", "now.Wav", "stray.avi"})
        EXPECT_TRUE(fs::exists(Dir / kept)) << kept;
    // The files are gone; their records go once the caller removes them,
    // unless the name was recorded again meanwhile.
    RemoveDeletedRecords(History, {{{b, 5000}}, {}}); // b.avi still exists
    EXPECT_EQ(HistoryPaths().size(), 5u);
    RemoveDeletedRecords(History, deletion);
    EXPECT_EQ(HistoryPaths(), (std::vector<std::string>{b, (Dir / "gone.avi").string(), now}));
    EXPECT_EQ(StorageDeletionText(deletion),
              "录像已超过占用上限：已删除最早的 1 个录像，释放 4.9 KB。");
}

TEST_F(StorageDeletion, TheSoundOfAFileInUseStaysWhateverTheCaseOfItsExtension) {
    const std::string old = Make("rec.avi", 500).string();
    const std::string now = Make("rec.AVI", 0).string(); // its sound file is rec.Wav too
    Make("rec.Wav", 100);
    const TStorageDeletion deletion = DeleteRecordingFiles({{old, 500}}, {now});
    EXPECT_EQ(deletion.Deleted.size(), 1u);
    EXPECT_FALSE(fs::exists(old));
    EXPECT_TRUE(fs::exists(Dir / "rec.Wav"));
}

TEST_F(StorageDeletion, AFileThatCannotGoIsToldKeptAndTheNextOldestGoesInstead) {
    // Not a file one can unlink: a folder under a recording's name.
    fs::create_directories(Dir / "stuck.avi" / "inside");
    const std::string stuck = (Dir / "stuck.avi").string();
    const std::string a = Make("a.avi", 400).string();
    const std::string b = Make("b.avi", 400).string();
    const std::vector<TStoredRecording> records{{stuck, 1.0, 400}, {a, 2.0, 400}, {b, 3.0, 400}};
    const TStorageDeletion deletion = FreeStorage(records, {}, 500);
    ASSERT_EQ(deletion.Failed.size(), 1u);
    EXPECT_EQ(deletion.Failed[0].first, stuck);
    ASSERT_EQ(deletion.Deleted.size(), 2u);
    EXPECT_EQ(deletion.Deleted[0].Path, a);
    EXPECT_EQ(deletion.Deleted[1].Path, b);
    EXPECT_TRUE(fs::exists(Dir / "stuck.avi" / "inside"));
    EXPECT_TRUE(StorageDeletionText(deletion).contains(QStringLiteral("无法删除录像")));
}

} // namespace
} // namespace vardocle
