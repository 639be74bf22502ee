// The X server going away under the windowed program while it records: the
// recording is finished as Stop would finish it, the settings are saved and
// the program exits with status 1 and a message, without a crash.
#include "tests/integration/app/ProgramDriver.h"
#include "tests/integration/capture/PrivateXServer.h"

#include <csignal>

using namespace vardocle::test;

namespace {

class DisplayLoss : public ProgramTest {};

} // namespace

TEST_F(DisplayLoss, TheRecordingIsSavedAndTheProgramEndsWithoutACrash) {
    TPrivateXServer server({"-screen", "0", "1024x768x24"});
    ASSERT_FALSE(server.Name().empty()) << "the private X server did not start";
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DISPLAY", QString::fromStdString(server.Name()));
    environment.insert("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    const QString program = Path(Folder / "bin" / "vardocle");
    auto command = [&](const QStringList& words) {
        QProcess client;
        client.setProcessEnvironment(environment);
        client.start(program, QStringList{"--command"} + words);
        return client.waitForFinished(60000) && client.exitStatus() == QProcess::NormalExit
                   ? client.exitCode()
                   : -1;
    };
    Program.setProcessEnvironment(environment);
    Program.setWorkingDirectory(Path(Folder / "work"));
    Program.setProcessChannelMode(QProcess::SeparateChannels);
    Program.start(program, {"--site", "http://127.0.0.1:9"});
    ASSERT_TRUE(Program.waitForStarted(10000));
    ASSERT_TRUE(WaitUntil([&] { return command({"show"}) == 0; }, 30s))
        << "the program never answered";
    const fs::path avi = Folder / "videos" / "lost.avi";
    ASSERT_EQ(command({"start", Path(avi)}), 0);
    Tone.start("paplay", {Path(Folder / "tone.wav")});
    QThread::msleep(2500);

    ::kill(server.Pid(), SIGTERM);
    ASSERT_TRUE(Program.waitForFinished(20000)) << "the program did not end";
    const std::string err = Program.readAllStandardError().toStdString();
    ASSERT_EQ(Program.exitStatus(), QProcess::NormalExit) << "ended by a signal\n" << err;
    EXPECT_EQ(Program.exitCode(), 1) << err;
    EXPECT_NE(err.find("the connection to the X server broke"), std::string::npos) << err;

    const QJsonObject video = ProbeStream(avi, "video");
    ASSERT_FALSE(video.isEmpty()) << "no readable video";
    const double videoSeconds = video.value("nb_frames").toString().toDouble() / 5.0;
    EXPECT_GE(videoSeconds, 2.0);
    ASSERT_FALSE(ProbeStream(avi, "audio").isEmpty()) << "the sound was not merged";
    EXPECT_NEAR(SoundSeconds(avi, Folder.Path()), videoSeconds, 0.3);
    EXPECT_FALSE(fs::exists(Folder / "videos" / "lost.Wav"));
    std::ifstream settings(Folder / "bin" / "Setting.ini");
    const std::string saved{std::istreambuf_iterator<char>(settings),
                            std::istreambuf_iterator<char>()};
    EXPECT_NE(saved.find("Width="), std::string::npos) << "Setting.ini was not saved:\n" << saved;
}
