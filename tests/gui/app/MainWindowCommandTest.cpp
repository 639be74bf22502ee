// Commands from `vardocle --command` reaching the main window: the same
// results and questions as its buttons, and a refusal that changes nothing.
#include "MainWindowFixture.h"

#include <sys/stat.h>

using namespace vardocle;
using namespace vardocle::test;

namespace {

class MainWindowCommandTest : public MainWindowTest {
protected:
    // The answer, once it came; the event loop runs meanwhile.
    TCommandReply Run(TRemoteCommand command, const QString& file = {}) {
        std::optional<TCommandReply> reply;
        Main->RunCommand({command, file}, [&](const TCommandReply& r) { reply = r; });
        EXPECT_TRUE(test::WaitFor([&] { return reply.has_value(); }));
        return reply.value_or(TCommandReply{-1, {}});
    }
};

TEST_F(MainWindowCommandTest, StartWithAFileNeedsNoDialogAndStopAnswersWhenSaved) {
    Open();
    const QString file = Path(Folder / "remote.avi");
    EXPECT_EQ(Run(TRemoteCommand::Pause).Status, kCommandRefused); // nothing to pause
    EXPECT_EQ(Run(TRemoteCommand::Start, file).Status, kCommandDone);
    EXPECT_TRUE(Offered.empty()) << "no save dialog";
    EXPECT_EQ(Main->State(), TRecordingState::Recording);
    ASSERT_EQ(HistoryRecords().size(), 1u) << "in the history once the file exists";
    EXPECT_EQ(Run(TRemoteCommand::Start, file).Status, kCommandRefused);
    EXPECT_EQ(Run(TRemoteCommand::Resume).Status, kCommandRefused);
    EXPECT_EQ(Run(TRemoteCommand::Pause).Status, kCommandDone);
    EXPECT_EQ(Main->State(), TRecordingState::Paused);
    EXPECT_EQ(Run(TRemoteCommand::Resume).Status, kCommandDone);
    test::KeepRunning(500);
    EXPECT_EQ(Run(TRemoteCommand::Stop).Status, kCommandDone);
    EXPECT_EQ(Main->State(), TRecordingState::Idle) << "answered only once saved";
    EXPECT_GT(fs::file_size(Folder / "remote.avi"), 0u);
    EXPECT_EQ(Run(TRemoteCommand::Stop).Status, kCommandRefused);
}

TEST_F(MainWindowCommandTest, AFileThatCannotBeWrittenOrIsKeptChangesNothing) {
    Open();
    const TCommandReply missing =
        Run(TRemoteCommand::Start, Path(Folder / "no such folder" / "a.avi"));
    EXPECT_EQ(missing.Status, kCommandRefused);
    EXPECT_TRUE(missing.Message.contains(QStringLiteral("no such folder")))
        << qPrintable(missing.Message);
    fs::create_directory(Folder / "a folder.avi");
    EXPECT_EQ(Run(TRemoteCommand::Start, Path(Folder / "a folder.avi")).Status, kCommandRefused);
    EXPECT_EQ(Main->State(), TRecordingState::Idle);
    EXPECT_TRUE(HistoryRecords().empty());

    // An existing file: the same question as after the save dialog.
    std::ofstream(Folder / "old.avi") << "old";
    OverwriteAnswers = {false};
    EXPECT_EQ(Run(TRemoteCommand::Start, Path(Folder / "old.avi")).Status, kCommandRefused);
    EXPECT_EQ(OverwriteQuestions, 1);
    EXPECT_EQ(fs::file_size(Folder / "old.avi"), 3u);
    EXPECT_EQ(Main->State(), TRecordingState::Idle);
    EXPECT_TRUE(Notices.empty());
}

TEST_F(MainWindowCommandTest, QuitAsksDuringARecordingAndAClosingCopyRefuses) {
    Open();
    Main->show();
    ASSERT_EQ(Run(TRemoteCommand::Start, Path(Folder / "q.avi")).Status, kCommandDone);
    ExitAnswer = false;
    EXPECT_EQ(Run(TRemoteCommand::Quit).Status, kCommandRefused);
    EXPECT_EQ(ExitQuestions, 1);
    EXPECT_EQ(Main->State(), TRecordingState::Recording);
    EXPECT_EQ(Run(TRemoteCommand::Hide).Status, kCommandDone);
    EXPECT_TRUE(Main->isHidden());
    EXPECT_EQ(Run(TRemoteCommand::Show).Status, kCommandDone);
    EXPECT_TRUE(Main->isVisible());

    ExitAnswer = true;
    EXPECT_EQ(Run(TRemoteCommand::Quit).Status, kCommandDone);
    // Saving before the end: nothing more is taken on meanwhile.
    const TCommandReply late = Run(TRemoteCommand::Start, Path(Folder / "late.avi"));
    EXPECT_EQ(late.Status, kCommandRefused);
    EXPECT_FALSE(fs::exists(Folder / "late.avi"));
    ASSERT_TRUE(test::WaitFor([&] { return Main->State() == TRecordingState::Idle; }));
}

} // namespace
