// The start-up question about recordings a killed program left incomplete,
// with a repair double that records what it was asked and on which thread.
#include "MainWindowFixture.h"

#include <mutex>
#include <thread>

using namespace vardocle;
using namespace vardocle::test;

namespace {

class RepairQuestionTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        Services.Repair.NeedsRepair = [this](const std::string& path) {
            return path.find("broken") != std::string::npos;
        };
        Services.Repair.Repair = [this](const std::string& path, std::atomic<int>*,
                                        const TRepairOptions&) {
            const std::lock_guard lock(Guard);
            Repaired.push_back(path);
            RepairThreads.push_back(std::this_thread::get_id());
            TRepairReport report;
            report.Outcome = TRepairOutcome::Repaired;
            report.Chinese = "已恢复 12 秒";
            return report;
        };
        Services.AskRepair = [this](TFrmMain&, const QStringList& files,
                                    std::function<void(bool)> answer) {
            Questions.push_back(files);
            answer(RepairAnswer);
        };
    }

    // Entries as recordings leave them; a file beside each makes it a candidate.
    void AddRecording(const std::string& name) {
        const fs::path file = Folder / name;
        std::ofstream(file) << "video";
        AviDir->History().AppendHistoryRecord(file.string());
    }

    void StartUp() {
        Main = std::make_unique<TFrmMain>(Services);
        Main->SetWindows(nullptr, nullptr, nullptr, AviDir.get(), nullptr);
        Main->CheckInterruptedRecordings();
        ASSERT_TRUE(test::WaitFor([&] { return !Main->RepairQuestion()->Repairing(); }));
    }

    std::mutex Guard;
    std::vector<std::string> Repaired;
    std::vector<std::thread::id> RepairThreads;
    std::vector<QStringList> Questions;
    bool RepairAnswer = true;
};

} // namespace

TEST_F(RepairQuestionTest, YesRepairsEachIncompleteRecordingOnceOffTheWindowsThread) {
    AviDir = std::make_unique<TFrmAVIDir>(nullptr, Folder.Path());
    AddRecording("fine.avi");
    AddRecording("broken.avi");
    AddRecording("broken.avi"); // the same file twice
    AviDir->History().AppendHistoryRecord((Folder / "broken-gone.avi").string()); // no file
    StartUp();

    ASSERT_EQ(Questions.size(), 1u);
    EXPECT_EQ(Questions[0], QStringList{Path(Folder / "broken.avi")});
    ASSERT_TRUE(test::WaitFor([&] { return !Notices.empty(); }));
    EXPECT_EQ(Repaired, std::vector<std::string>{(Folder / "broken.avi").string()});
    EXPECT_NE(RepairThreads.at(0), std::this_thread::get_id());
    EXPECT_TRUE(Notices[0].contains(QStringLiteral("broken.avi：已修复")))
        << Notices[0].toStdString();
    EXPECT_TRUE(Notices[0].contains(QStringLiteral("已恢复 12 秒")));
    EXPECT_EQ(HistoryRecords().size(), 4u) << "the history is not touched";
}

TEST_F(RepairQuestionTest, NoLeavesTheFilesAndIsNotAskedAgain) {
    AviDir = std::make_unique<TFrmAVIDir>(nullptr, Folder.Path());
    AddRecording("broken.avi");
    RepairAnswer = false;
    StartUp();
    ASSERT_EQ(Questions.size(), 1u);
    EXPECT_TRUE(Repaired.empty());
    EXPECT_TRUE(Notices.empty());

    StartUp(); // the next start of the program
    EXPECT_EQ(Questions.size(), 1u);
    // A recording interrupted later is asked about.
    AddRecording("broken-too.avi");
    StartUp();
    ASSERT_EQ(Questions.size(), 2u);
    EXPECT_EQ(Questions[1], QStringList{Path(Folder / "broken-too.avi")});
    std::error_code ignored;
    EXPECT_EQ(fs::file_size(Folder / "broken.avi", ignored), 5u) << "the file was changed";
}

TEST_F(RepairQuestionTest, ARecordingWithNothingInItIsNamedSoAndRemovedWithItsEntryOnYes) {
    AviDir = std::make_unique<TFrmAVIDir>(nullptr, Folder.Path());
    AddRecording("broken-empty.avi");
    AddRecording("broken.avi");
    Services.Repair.NothingRecorded = [](const std::string& path) {
        return path.find("empty") != std::string::npos;
    };
    std::vector<bool> removeEmpty;
    Services.Repair.Repair = [&](const std::string& path, std::atomic<int>*,
                                 const TRepairOptions& options) {
        const std::lock_guard lock(Guard);
        removeEmpty.push_back(options.RemoveEmpty);
        TRepairReport report;
        report.Outcome = options.RemoveEmpty ? TRepairOutcome::Removed : TRepairOutcome::Repaired;
        report.Chinese = "“" + path + "” 第一行\n第二行\n";
        return report;
    };
    StartUp();
    ASSERT_EQ(Questions.size(), 1u);
    ASSERT_EQ(Questions[0].size(), 2);
    EXPECT_TRUE(Questions[0][0].contains(QStringLiteral("什么也没有录下来")));
    EXPECT_FALSE(Questions[0][1].contains(QStringLiteral("什么也没有录下来")));
    ASSERT_TRUE(test::WaitFor([&] { return !Notices.empty(); }));
    EXPECT_EQ(removeEmpty, (std::vector<bool>{true, false}));
    const auto records = HistoryRecords();
    ASSERT_EQ(records.size(), 1u) << "the empty recording's entry went with it";
    EXPECT_EQ(records[0].FilePath, (Folder / "broken.avi").string());
    // Each recording's outcome in words, its details one a line beneath it.
    const QStringList lines = Notices[0].split('\n');
    EXPECT_TRUE(lines.contains(QStringLiteral("broken-empty.avi：什么也没有录下来，已删除")))
        << Notices[0].toStdString();
    EXPECT_TRUE(lines.contains(QStringLiteral("    第二行")));
    for (const QString& line : lines)
        EXPECT_FALSE(line.trimmed().isEmpty() || line.trimmed() == QStringLiteral("）"));
}
