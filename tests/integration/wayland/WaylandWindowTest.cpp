// The windowed program on the Wayland desktop, through Xwayland: it says what
// differs there, and a recording started and stopped with its keys while its
// window has the focus gives a playable file with sound and one history entry.
#include "tests/integration/app/ProgramDriver.h"
#include "tests/integration/wayland/WaylandDesktop.h"

using namespace vardocle::test;

namespace {

// The compositor gives X windows the focus without telling Xwayland's
// clients in the way `windowactivate --sync` waits for: a short pause instead.
void Focus(const QString& window) {
    Xdotool({"windowactivate", window});
    QThread::msleep(300);
}

class WaylandWindow : public ProgramTest {
protected:
    void SetUp() override {
        VARDOCLE_REQUIRE_WAYLAND();
        ProgramTest::SetUp();
    }
};

} // namespace

TEST_F(WaylandWindow, SaysWhatDiffersThenRecordsWithSoundIntoOneHistoryEntry) {
    PaintBackground("#ff0000");
    StartProgram(Program);
    ASSERT_TRUE(WaitForWindowCount("Vardocle 提示", 1)) << "no notice about the Wayland desktop";
    Focus(VisibleWindows("Vardocle 提示").front());
    Key("Return");
    ASSERT_TRUE(WaitForWindowCount("Vardocle 提示", 0));
    ASSERT_TRUE(WaitForWindowCount("Vardocle", 1)) << "the main window did not appear";
    // Hotkeys reach the program while its window has the focus.
    Focus(VisibleWindows("Vardocle").front());

    const fs::path video = Folder / "videos" / "clip";
    Key("alt+1");
    ChooseFile(video);
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(Folder / "videos" / "clip.Wav"); }));
    PaintBackground("#00ff00"); // the desktop sends pictures once something changed
    Tone.start("paplay", {Path(Folder / "tone.wav")});
    QThread::msleep(4000);
    Focus(VisibleWindows("Vardocle").front());
    Key("alt+4");
    ASSERT_TRUE(WaitUntil([&] { return !fs::exists(Folder / "videos" / "clip.Wav"); }, 60s))
        << "the recording did not end with its sound merged";

    const fs::path avi = Folder / "videos" / "clip.Avi";
    const QJsonObject videoStream = ProbeStream(avi, "video");
    const QJsonObject soundStream = ProbeStream(avi, "audio");
    ASSERT_FALSE(videoStream.isEmpty());
    ASSERT_FALSE(soundStream.isEmpty()) << "no sound in the video file";
    const double videoSeconds = videoStream.value("nb_frames").toString().toDouble() / 5.0;
    EXPECT_NEAR(videoSeconds, 4.0, 1.0);
    EXPECT_NEAR(SoundSeconds(avi, Folder.Path()), videoSeconds, 0.3);
    // The desktop's picture, not the black of an X11 grab under Xwayland.
    const auto result =
        RunProcess("ffmpeg", {"-v", "error", "-i", Path(avi), "-vf", "fps=5,select=eq(n\\,10)",
                              "-frames:v", "1", "-f", "rawvideo", "-pix_fmt", "rgb24", "-"});
    ASSERT_GE(result.Out.size(), 3);
    const auto* corner = reinterpret_cast<const std::uint8_t*>(result.Out.constData());
    EXPECT_TRUE(Near((corner[0] << 16) | (corner[1] << 8) | corner[2], 0x00FF00, 12))
        << int(corner[0]) << "," << int(corner[1]) << "," << int(corner[2]);
    EXPECT_EQ(FileSize(Folder / "bin" / "History.his"), 320u) << "one history entry";
}
