// The running program controlled from the command line, as a key bound in
// the desktop's own settings would: one recording started and stopped by
// commands, the refusals and their status codes, and a plain second start.
#include "history/HistoryFile.h"
#include "tests/integration/app/ProgramDriver.h"

using namespace vardocle;
using namespace vardocle::test;

namespace {

class CommandLineControl : public ProgramTest {
protected:
    ProcessResult Command(const QStringList& words, const fs::path& bin = {}) {
        const fs::path program = (bin.empty() ? Folder / "bin" : bin) / "vardocle";
        return RunProcess(Path(program), QStringList{"--command"} + words, 60s);
    }

    // The running copy answers once its window is up.
    void StartAndWaitForAnswer() {
        StartProgram(Program);
        ASSERT_TRUE(WaitUntil([&] { return Command({"show"}).ExitCode == 0; }, 30s))
            << "the running copy never answered";
    }
};

} // namespace

TEST_F(CommandLineControl, StartAndStopByCommandMakeOnePlayableRecording) {
    // Nothing runs yet: refused, with a reason.
    const ProcessResult none = Command({"stop"});
    EXPECT_EQ(none.ExitCode, 1);
    EXPECT_FALSE(none.Err.trimmed().isEmpty());

    StartAndWaitForAnswer();
    // A relative name is the caller's: the test runs elsewhere than the program.
    const fs::path video = Folder / "videos" / "F.avi";
    const ProcessResult start =
        RunProcess(Path(Folder / "bin" / "vardocle"), {"--command", "start", Path(video)}, 60s);
    ASSERT_EQ(start.ExitCode, 0) << start.Err.toStdString();
    EXPECT_TRUE(VisibleWindows("保存").isEmpty()) << "no save dialog for a named file";
    EXPECT_EQ(Command({"start", Path(Folder / "videos" / "G.avi")}).ExitCode, 1)
        << "already recording";
    QThread::msleep(2500);
    const ProcessResult stop = Command({"stop"});
    ASSERT_EQ(stop.ExitCode, 0) << stop.Err.toStdString();

    const auto records = History();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].FilePath, video.string());
    const QJsonObject stream = ProbeStream(video, "video");
    ASSERT_FALSE(stream.isEmpty()) << "ffprobe finds no video in " << video;
    // A still screen is one picture repeated: the slots play for the time.
    EXPECT_GE(stream["nb_frames"].toString().toInt(), 5);
    EXPECT_GE(stream["nb_read_frames"].toString().toInt(), 1);
    EXPECT_FALSE(fs::exists(Folder / "videos" / "G.avi"));
}

TEST_F(CommandLineControl, BadInputIsRefusedAndChangesNothing) {
    StartAndWaitForAnswer();
    EXPECT_EQ(Command({"record"}).ExitCode, 2);
    EXPECT_EQ(Command({"stop", "now"}).ExitCode, 2);
    EXPECT_EQ(Command({"start", "a.avi", "b.avi"}).ExitCode, 2);
    EXPECT_EQ(Command({}).ExitCode, 2);
    const ProcessResult unwritable = Command({"start", Path(Folder / "missing" / "x.avi")});
    EXPECT_EQ(unwritable.ExitCode, 1);
    EXPECT_TRUE(unwritable.Err.contains("missing")) << unwritable.Err.toStdString();
    EXPECT_EQ(unwritable.Err.trimmed().count('\n'), 0) << "one line";
    EXPECT_EQ(Command({"pause"}).ExitCode, 1) << "nothing started by the refused command";
    EXPECT_TRUE(History().empty());

    // A plain second start ends at once and brings the hidden window back.
    ASSERT_EQ(Command({"hide"}).ExitCode, 0);
    ASSERT_TRUE(WaitForWindowCount("Vardocle", 0));
    QProcess second;
    StartProgram(second);
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(WaitForWindowCount("Vardocle", 1)) << "the running copy did not show itself";

    EXPECT_EQ(Command({"quit"}).ExitCode, 0);
    ASSERT_TRUE(Program.waitForFinished(20000));
    EXPECT_EQ(Command({"show"}).ExitCode, 1) << "no copy runs any more";
}
