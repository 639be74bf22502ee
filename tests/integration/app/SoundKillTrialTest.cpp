// The windowed program killed outright while it records and while it is
// paused: its sound file keeps all but the last second of the sound
// recorded, against what a clean stop keeps.
#include "tests/integration/app/ProgramDriver.h"

#include <csignal>
#include <random>

using namespace vardocle::test;
using Clock = std::chrono::steady_clock;

namespace {

class SoundKillTrial : public ProgramTest {
protected:
    int Command(const QStringList& words) {
        return RunProcess(Path(Folder / "bin" / "vardocle"), QStringList{"--command"} + words, 60s)
            .ExitCode;
    }

    // Recorded time less the sound kept, after a kill or (Kill false) a stop.
    double Trial(bool pause, double seconds, bool kill) {
        StartProgram(Program);
        EXPECT_TRUE(WaitUntil([&] { return Command({"show"}) == 0; }, 30s));
        const fs::path avi = Folder / "videos" / "trial.avi";
        const fs::path wav = Folder / "videos" / "trial.Wav";
        EXPECT_EQ(Command({"start", Path(avi)}), 0);
        const auto start = Clock::now();
        Tone.start("paplay", {Path(Folder / "tone.wav")});
        QThread::msleep(static_cast<unsigned long>(seconds * 1000));
        double recorded = std::chrono::duration<double>(Clock::now() - start).count();
        if (pause) {
            EXPECT_EQ(Command({"pause"}), 0);
            recorded = std::chrono::duration<double>(Clock::now() - start).count();
            QThread::msleep(800);
        }
        double kept = 0;
        if (kill) {
            ::kill(static_cast<pid_t>(Program.processId()), SIGKILL);
            Program.waitForFinished(10000);
            kept = static_cast<double>(FileSize(wav) - 44) / 176400.0;
        } else {
            EXPECT_EQ(Command({"stop"}), 0);
            kept = SoundSeconds(avi, Folder.Path());
            Command({"quit"});
            Program.waitForFinished(20000);
        }
        Tone.kill();
        Tone.waitForFinished(5000);
        fs::remove(avi);
        fs::remove(wav);
        return recorded - kept;
    }
};

} // namespace

TEST_F(SoundKillTrial, AKilledProgramLosesAtMostASecondOfSoundMoreThanACleanStop) {
    const double clean = Trial(false, 2.5, false);
    std::mt19937 random(static_cast<unsigned>(Clock::now().time_since_epoch().count()));
    std::uniform_real_distribution<double> moment(1.5, 3.0);
    for (const bool pause : {false, true}) {
        const double at = moment(random);
        const double lost = Trial(pause, at, true);
        std::printf("killed %s at %.2f s: %.3f s of sound lost (a clean stop %.3f s)\n",
                    pause ? "paused" : "mid-recording", at, lost, clean);
        EXPECT_LE(lost - clean, 1.0) << (pause ? "paused" : "mid-recording") << " at " << at;
    }
}
