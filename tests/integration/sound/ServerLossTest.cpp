// The sound server goes away during a recording, or is not there at all. Runs
// in a program of its own: it points the sound library at a private server.
#include "engine/WavRecord.h"
#include "platform/sound/AlsaSoundLibrary.h"
#include "tests/integration/sound/CountingSoundLibrary.h"
#include "tests/support/SoundAnalysis.h"
#include "tests/support/TestSupport.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace vardocle;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

// A sound server of this test's own, with a null sink whose monitor records.
class PrivateSoundServer {
public:
    explicit PrivateSoundServer(const fs::path& folder) : FRuntime(folder / "runtime") {
        fs::create_directories(FRuntime);
        chmod(FRuntime.c_str(), 0700);
        const fs::path script = folder / "server.pa";
        std::ofstream(script) << "load-module module-native-protocol-unix auth-anonymous=1\n"
                                 "load-module module-null-sink sink_name=losssink rate=44100 "
                                 "channels=2\n"
                                 "set-default-source losssink.monitor\n";
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(FRuntime.string()));
        environment.remove("PULSE_SERVER");
        FProcess.setProcessEnvironment(environment);
        FProcess.start("pulseaudio",
                       {"-n", "-F", QString::fromStdString(script.string()), "--daemonize=no",
                        "--exit-idle-time=-1", "--log-target=stderr"});
        FProcess.waitForStarted(5000);
        const fs::path socket = FRuntime / "pulse" / "native";
        for (int i = 0; i < 100 && !fs::exists(socket); ++i)
            std::this_thread::sleep_for(50ms);
        FSocket = fs::exists(socket) ? "unix:" + socket.string() : std::string();
    }
    ~PrivateSoundServer() { Kill(); }
    PrivateSoundServer(const PrivateSoundServer&) = delete;
    PrivateSoundServer& operator=(const PrivateSoundServer&) = delete;

    const std::string& Address() const { return FSocket; }
    void Kill() {
        if (FProcess.state() == QProcess::NotRunning)
            return;
        FProcess.kill();
        FProcess.waitForFinished(5000);
    }

private:
    fs::path FRuntime;
    std::string FSocket;
    QProcess FProcess;
};

// Points the sound library's server plugin at an address for one test.
class ServerAddress {
public:
    explicit ServerAddress(const std::string& address) {
        setenv("PULSE_SERVER", address.c_str(), 1);
    }
    ~ServerAddress() { unsetenv("PULSE_SERVER"); }
    ServerAddress(const ServerAddress&) = delete;
    ServerAddress& operator=(const ServerAddress&) = delete;
};

bool HavePulseAudio() {
    return test::RunProcess("pulseaudio", {"--version"}, 10s).ExitCode == 0;
}

} // namespace

TEST(ServerLoss, AServerThatStopsEndsTheSoundWithWhatWasRecorded) {
    if (!HavePulseAudio())
        GTEST_SKIP() << "no pulseaudio";
    test::TempDir dir;
    PrivateSoundServer server(dir.Path());
    ASSERT_FALSE(server.Address().empty()) << "the private sound server did not start";
    ServerAddress address(server.Address());

    // The server's own PCM, so that the device is the server whatever the
    // system's default is.
    auto library =
        std::make_shared<test::CountingSoundLibrary>(std::make_shared<TAlsaSoundLibrary>("pulse"));
    std::vector<TSoundProblem> problems;
    const auto wav = dir / "lost.Wav";
    TWavRecord recorder(library);
    recorder.OnProblem = [&](TSoundProblem problem, const std::string&) {
        problems.push_back(problem);
    };
    recorder.Start(wav.string(), 400000);
    ASSERT_TRUE(library->WaitForBlocks(5, 10s));
    server.Kill();
    // The capture thread notices and ends; it must not hang or spin.
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (library->ChannelIsActive(recorder.Channel()) &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(library->ChannelIsActive(recorder.Channel()));
    const int delivered = library->Blocks;
    recorder.Stop();

    ASSERT_EQ(problems.size(), 1U);
    EXPECT_EQ(problems[0], TSoundProblem::DeviceLost);
    const test::WavContents contents = test::ReadWav(wav);
    ASSERT_TRUE(contents.Valid);
    EXPECT_EQ(contents.DataSize, static_cast<std::uint32_t>(delivered) * 17640U);
    EXPECT_EQ(contents.DataSize, contents.FileSize - 44);
    EXPECT_EQ(contents.RiffSize, contents.FileSize - 8);
}

TEST(ServerLoss, NoServerMeansNoDeviceAndAHeaderOnlyFile) {
    test::TempDir dir;
    ServerAddress address("unix:" + (dir / "nobody-listens").string());
    std::vector<std::string> messages;
    const auto wav = dir / "silent.Wav";
    {
        TWavRecord recorder(std::make_shared<TAlsaSoundLibrary>("pulse"));
        recorder.OnProblem = [&](TSoundProblem, const std::string& message) {
            messages.push_back(message);
        };
        const auto started = std::chrono::steady_clock::now();
        recorder.Start(wav.string(), 400000);
        std::this_thread::sleep_for(200ms);
        recorder.Stop();
        EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);
    }
    ASSERT_EQ(messages.size(), 1U);
    EXPECT_EQ(messages[0], SoundProblemMessage(TSoundProblem::NoDevice));
    const test::WavContents contents = test::ReadWav(wav);
    EXPECT_EQ(contents.FileSize, 44U);
    EXPECT_EQ(contents.RiffSize, 36U);
    EXPECT_EQ(contents.DataSize, 0U);
}
