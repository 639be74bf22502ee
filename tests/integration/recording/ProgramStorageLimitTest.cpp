// The windowed program keeping its recordings under the storage limit: when a
// recording starts, exactly the oldest recordings of the history that must go
// are deleted, with their records, and nothing else in their folder.
#include "history/HistoryFile.h"
#include "tests/integration/app/ProgramDriver.h"

#include <algorithm>

using namespace vardocle;
using namespace vardocle::test;

namespace {

constexpr std::uintmax_t kMB = 1 << 20;

class ProgramStorageLimit : public ProgramTest {
protected:
    ProcessResult Command(const QStringList& words) {
        return RunProcess(Path(Folder / "bin" / "vardocle"), QStringList{"--command"} + words, 60s);
    }
    // A recording of a known size, made at once: only its size counts.
    std::string Recording(const std::string& name, std::uintmax_t size) {
        const fs::path path = Folder / "videos" / name;
        std::ofstream(path).close();
        fs::resize_file(path, size);
        return path.string();
    }
    std::vector<std::string> HistoryPaths() {
        std::vector<std::string> paths;
        for (const HistoryRecord& record : History())
            paths.push_back(record.FilePath);
        return paths;
    }
};

} // namespace

TEST_F(ProgramStorageLimit, StartingDeletesExactlyTheOldestThatMustGo) {
    std::ofstream(Folder / "bin" / "Setting.ini") << "[Main]\nRate=5\nStorageLimitGB=1\n";
    const std::string a = Recording("a.avi", 400 * kMB);
    const std::string b = Recording("b.avi", 400 * kMB);
    const std::string c = Recording("c.avi", 400 * kMB);
    const std::string e = Recording("e.avi", 300 * kMB);
    Recording("a.Wav", kMB); // the sound a crash left beside a
    // In the folder but in no record: the largest, and it stays.
    const std::string stray = Recording("stray.avi", 2048 * kMB);
    const std::string gone = (Folder / "videos" / "gone.avi").string();
    THistoryFile history(Folder / "bin");
    // Days since 1899: the order of the records is not the order of their times.
    history.AppendRecord(MakeHistoryRecord(c, 45003.0));
    history.AppendRecord(MakeHistoryRecord(gone, 45000.5)); // its file is missing
    history.AppendRecord(MakeHistoryRecord(a, 45001.0));
    history.AppendRecord(MakeHistoryRecord(c, 45003.5)); // counted once
    history.AppendRecord(MakeHistoryRecord(b, 45002.0));
    history.AppendRecord(MakeHistoryRecord(e, 45004.0));

    StartProgram(Program);
    ASSERT_TRUE(WaitUntil([&] { return Command({"show"}).ExitCode == 0; }, 30s));
    const std::string video = (Folder / "videos" / "new.avi").string();
    const ProcessResult start =
        Command({"start", QString::fromStdString(video), "--sound", "none"});
    ASSERT_EQ(start.ExitCode, 0) << start.Err.toStdString();
    // 1500 MB: without a, 1100 MB is still over 1024; without b too, 700 MB fits.
    EXPECT_TRUE(WaitUntil([&] { return !fs::exists(a) && !fs::exists(b); }, 30s));
    const std::vector<std::string> expected{c, gone, c, e, video};
    EXPECT_TRUE(WaitUntil([&] { return HistoryPaths() == expected; }, 10s));
    const ProcessResult stop = Command({"stop"});
    ASSERT_EQ(stop.ExitCode, 0) << stop.Err.toStdString();

    EXPECT_FALSE(fs::exists(Folder / "videos" / "a.Wav"));
    for (const std::string& kept : {c, e, stray, video})
        EXPECT_TRUE(fs::exists(kept)) << kept;
    EXPECT_EQ(FileSize(c), 400 * kMB);
    EXPECT_EQ(HistoryPaths(), expected);
}

TEST_F(ProgramStorageLimit, EachNewFileOfASplitRecordingKeepsTheLimitToo) {
    std::ofstream(Folder / "bin" / "Setting.ini") << "[Main]\nRate=5\nStorageLimitGB=1\n";
    const std::string kept = Recording("kept.avi", 600 * kMB);
    THistoryFile(Folder / "bin").AppendRecord(MakeHistoryRecord(kept, 45001.0));

    StartProgram(Program);
    ASSERT_TRUE(WaitUntil([&] { return Command({"show"}).ExitCode == 0; }, 30s));
    const fs::path video = Folder / "videos" / "part.avi";
    const ProcessResult start = Command({"start", QString::fromStdString(video.string()),
                                         "--segment-seconds", "2", "--sound", "none"});
    ASSERT_EQ(start.ExitCode, 0) << start.Err.toStdString();
    // Under the limit at the start; an older recording joins the history
    // while the first file records, and the next file must make room.
    ASSERT_TRUE(WaitUntil([&] { return HistoryPaths().size() == 2; }, 10s));
    const std::string older = Recording("older.avi", 600 * kMB);
    THistoryFile(Folder / "bin").AppendRecord(MakeHistoryRecord(older, 45000.0));
    EXPECT_TRUE(fs::exists(older)) << "deleted before a new file started";
    EXPECT_TRUE(WaitUntil([&] { return !fs::exists(older); }, 10s));
    const ProcessResult stop = Command({"stop"});
    ASSERT_EQ(stop.ExitCode, 0) << stop.Err.toStdString();

    EXPECT_TRUE(fs::exists(kept));
    const fs::path second = Folder / "videos" / "part-002.avi";
    EXPECT_TRUE(fs::exists(video));
    EXPECT_TRUE(fs::exists(second));
    const std::vector<std::string> paths = HistoryPaths();
    ASSERT_GE(paths.size(), 3u);
    EXPECT_EQ(paths[0], kept);
    EXPECT_EQ(paths[1], video.string());
    EXPECT_EQ(paths[2], second.string());
    EXPECT_EQ(std::count(paths.begin(), paths.end(), older), 0);
}
