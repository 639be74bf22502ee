// The windowed program on a disk of the test's own that fills up or cannot be
// written: the recording stops by itself and says what was kept, the history
// keeps its entry, and a start that cannot write says why and changes nothing.
#include "tests/integration/app/ProgramDriver.h"
#include "tests/support/SmallDisk.h"

#include <QRegularExpression>

using namespace vardocle::test;

namespace {

std::string ReadBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class FullDiskScenario : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        if (IsSkipped())
            return;
        VARDOCLE_REQUIRE_SMALL_DISK(Disk);
    }

    // The notices the program has shown so far (it logs each one).
    QString Notices() {
        // No event loop runs here: the pipe is read by waiting on it.
        Program.setReadChannel(QProcess::StandardError);
        Program.waitForReadyRead(50);
        Errors += QString::fromUtf8(Program.readAllStandardError());
        return Errors;
    }
    QString Errors;

    // Records for a while and stops with Alt+4; true when the sound file went.
    bool RecordBriefly(const fs::path& name) {
        Key("alt+1");
        ChooseFile(name);
        const fs::path wav = name.string() + ".Wav";
        if (!WaitUntil([&] { return fs::exists(wav); }))
            return false;
        QThread::msleep(2000);
        Key("alt+4");
        return WaitUntil([&] { return !fs::exists(wav); }, 60s);
    }

    TSmallDisk Disk{40};
};

} // namespace

TEST_F(FullDiskScenario, TheDiskFillingDuringTheSoundStopsTheRecordingAndSaysWhatWasKept) {
    // A still screen writes almost nothing; the sound fills the last 3 MB.
    Disk.FillLeaving(3 << 20);
    StartProgram(Program, QStringLiteral("http://127.0.0.1:9"), true);
    ASSERT_TRUE(WaitForWindowCount("Vardocle", 1));
    const QStringList open = VisibleWindows("Vardocle");
    Key("alt+1");
    ChooseFile(Disk / "full");
    const QString notice = WaitForNewWindow("Vardocle", open);
    ASSERT_FALSE(notice.isEmpty()) << "the recording did not end with a notice";
    ASSERT_TRUE(WaitUntil([&] { return Notices().contains(QStringLiteral("时长")); }))
        << Notices().toStdString();
    const QString text = Notices();
    EXPECT_TRUE(text.contains(QStringLiteral("磁盘已满"))) << "[" << text.toStdString() << "]";
    const fs::path avi = Disk / "full.Avi";
    EXPECT_TRUE(text.contains(Path(avi))) << text.toStdString();
    const auto length = QRegularExpression(QStringLiteral("时长 ([0-9.]+) 秒")).match(text);
    ASSERT_TRUE(length.hasMatch()) << text.toStdString();
    const QJsonObject video = ProbeStream(avi, "video");
    ASSERT_FALSE(video.isEmpty()) << "the kept file cannot be read";
    const double seconds = video.value("duration").toString().toDouble();
    EXPECT_GT(seconds, 5.0);
    EXPECT_NEAR(length.captured(1).toDouble(), seconds, 0.05);
    // No room to merge: the sound stays, complete, beside its video.
    EXPECT_NEAR(ProbeStream(Disk / "full.Wav", "audio").value("duration").toString().toDouble(),
                seconds, 1.5);
    EXPECT_EQ(FileSize(Folder / "bin" / "History.his"), 320u) << "the history entry went";
    Key("Return");

    // With room again the next recording is whole, with its sound.
    fs::remove(Disk / "filler");
    ASSERT_TRUE(RecordBriefly(Disk / "next"));
    EXPECT_FALSE(ProbeStream(Disk / "next.Avi", "audio").isEmpty());
    EXPECT_EQ(Program.state(), QProcess::Running);
}

TEST_F(FullDiskScenario, AReadOnlyDiskRefusesTheStartAndTheOldRecordingKeepsItsEntry) {
    StartProgram(Program, QStringLiteral("http://127.0.0.1:9"), true);
    ASSERT_TRUE(WaitForWindowCount("Vardocle", 1));
    ASSERT_TRUE(RecordBriefly(Disk / "old"));
    const std::string history = ReadBytes(Folder / "bin" / "History.his");
    const std::string old = ReadBytes(Disk / "old.Avi");
    ASSERT_EQ(history.size(), 320u);
    ASSERT_TRUE(Disk.MakeReadOnly());

    const QStringList open = VisibleWindows("Vardocle");
    Key("alt+1");
    ChooseFile(Disk / "old");
    ASSERT_TRUE(WaitForWindowCount("警告", 1)) << "no overwrite question";
    Key("alt+y");
    const QString notice = WaitForNewWindow("Vardocle", open);
    ASSERT_FALSE(notice.isEmpty()) << "the failed start was not told";
    ASSERT_TRUE(WaitUntil([&] { return Notices().contains(QStringLiteral("无法开始录制")); }))
        << Notices().toStdString();
    const QString text = Notices();
    EXPECT_TRUE(text.contains(QStringLiteral("无法开始录制"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("只读"))) << text.toStdString();
    EXPECT_EQ(ReadBytes(Folder / "bin" / "History.his"), history);
    EXPECT_EQ(ReadBytes(Disk / "old.Avi"), old);
}
