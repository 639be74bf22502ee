// The sound server goes away during a recording, or is not there at all. Runs
// in a program of its own: it points the sound library at a private server.
#include "engine/WavRecord.h"
#include "platform/sound/AlsaSoundLibrary.h"
#include "tests/integration/sound/CountingSoundLibrary.h"
#include "tests/integration/sound/PrivateSoundServer.h"
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

bool HavePulseAudio() {
    return test::RunProcess("pulseaudio", {"--version"}, 10s).ExitCode == 0;
}

} // namespace

TEST(ServerLoss, AServerThatStopsEndsTheSoundWithWhatWasRecorded) {
    if (!HavePulseAudio())
        GTEST_SKIP() << "no pulseaudio";
    test::TempDir dir;
    test::PrivateSoundServer server(dir.Path(), "load-module module-null-sink sink_name=losssink "
                                                "rate=44100 channels=2\n"
                                                "set-default-source losssink.monitor\n");
    ASSERT_FALSE(server.Address().empty()) << "the private sound server did not start";
    test::ServerAddress address(server.Address());

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
    test::ServerAddress address("unix:" + (dir / "nobody-listens").string());
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
