// The windowed program splitting a recording by time when a command asks
// for it: each file its own history record, the earlier ones complete.
#include "tests/integration/app/ProgramDriver.h"

using namespace vardocle;
using namespace vardocle::test;

namespace {

class ProgramSegments : public ProgramTest {};

} // namespace

TEST_F(ProgramSegments, EachFileOfASplitRecordingHasItsOwnHistoryRecord) {
    StartProgram(Program);
    ASSERT_TRUE(WaitUntil([&] { return Command({"show"}).ExitCode == 0; }, 30s));
    EXPECT_EQ(Command({"start", Path(Folder / "x.avi"), "--segment", "0"}).ExitCode, 2);
    const fs::path video = Folder / "videos" / "课程.avi";
    const ProcessResult start =
        Command({"start", Path(video), "--segment-seconds", "2", "--sound", "none"});
    ASSERT_EQ(start.ExitCode, 0) << start.Err.toStdString();
    QThread::msleep(5000);
    const ProcessResult stop = Command({"stop"});
    ASSERT_EQ(stop.ExitCode, 0) << stop.Err.toStdString();

    const std::vector<fs::path> parts{video, Folder / "videos" / "课程-002.avi",
                                      Folder / "videos" / "课程-003.avi"};
    const auto records = History();
    ASSERT_EQ(records.size(), parts.size());
    double total = 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        EXPECT_EQ(records[i].FilePath, parts[i].string());
        const QJsonObject stream = ProbeStream(parts[i], "video");
        ASSERT_FALSE(stream.isEmpty()) << parts[i];
        total += stream["duration"].toString().toDouble();
    }
    EXPECT_NEAR(ProbeStream(parts[0], "video")["duration"].toString().toDouble(), 2.0, 0.01);
    EXPECT_NEAR(total, 5.0, 0.6) << "the files together last as long as the recording ran";
    EXPECT_FALSE(fs::exists(Folder / "videos" / "课程-004.avi"));
}
