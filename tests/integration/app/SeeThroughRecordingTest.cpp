// The recorder's own skinned window over a known wallpaper: left out of the
// recording by default, recorded when the user asks for see-through windows.
// GoogleTest and Qt before Xlib, whose macros break their headers.
#include "tests/integration/app/ProgramDriver.h"

#include "tests/integration/capture/GrabCompare.h"
#include "tests/integration/capture/TestDesktop.h"

using namespace vardocle::test;

namespace {

// The main window's inside: it stands at 563,216 and is 242x89.
constexpr TTestRect kMainWindow{563, 216, 242, 89};

class SeeThroughRecording : public ProgramTest {
protected:
    // Records about two seconds with the given option and returns the sixth
    // frame (a second in: the save dialog is long gone) as 1920x1080 BGRA.
    QByteArray RecordFrame(bool recordTransparent, const char* name) {
        std::ofstream(Folder / "bin" / "Setting.ini")
            << "[Main]\nRecordCursor=0\nRecordTrans=" << (recordTransparent ? 1 : 0)
            << "\nRate=5\nWidth=1920\nHeight=1080\n";
        QProcess program;
        StartProgram(program);
        EXPECT_TRUE(WaitForWindowCount("Vardocle", 1)) << "the main window did not appear";
        const fs::path video = Folder / "videos" / name;
        Key("alt+1");
        ChooseFile(video);
        EXPECT_TRUE(WaitUntil([&] { return fs::exists(fs::path(video) += ".Wav"); }))
            << "the recording did not start";
        QThread::msleep(2000);
        Key("alt+4");
        EXPECT_TRUE(WaitUntil([&] { return !fs::exists(fs::path(video) += ".Wav"); }, 60s))
            << "the recording did not end";
        program.kill();
        program.waitForFinished(5000);
        return RunProcess("ffmpeg",
                          {"-v", "error", "-i", Path(fs::path(video) += ".Avi"), "-vf",
                           "fps=5,select=eq(n\\,5)", "-frames:v", "1", "-f", "rawvideo", "-pix_fmt",
                           "bgra", "-"},
                          60s)
            .Out;
    }
};

// PSNR against the wallpaper of the main window's place and, as the measure
// of what the recording's compression leaves of the wallpaper anyway, the
// lower of two places of the same size where no window ever stands.
struct TPlaceQuality {
    double Window = 0;
    double Elsewhere = 0;
};

TPlaceQuality Quality(QByteArray& frame) {
    vardocle::TScreenGrab picture;
    picture.Pixels = reinterpret_cast<std::uint8_t*>(frame.data());
    picture.Width = 1920;
    picture.Height = 1080;
    picture.Stride = std::ptrdiff_t{1920} * 4;
    auto psnr = [&](const TTestRect& place) {
        return Psnr(picture, place, 0, 0, TTestDesktop::WallpaperPixel);
    };
    return {psnr(kMainWindow), std::min(psnr({100, 100, 242, 89}), psnr({1200, 700, 242, 89}))};
}

} // namespace

TEST_F(SeeThroughRecording, TheMainWindowIsLeftOutUnlessAskedFor) {
    TTestDesktop desktop(qgetenv("DISPLAY").toStdString());
    ASSERT_TRUE(desktop.Connected());
    desktop.ShowWallpaper();

    QByteArray without = RecordFrame(false, "without");
    ASSERT_EQ(without.size(), 1920 * 1080 * 4);
    const TPlaceQuality left = Quality(without);
    // The wallpaper's sharp steps come out of the compression at about 24 to 27 dB; where the
    // window stood the wallpaper must come out as well as anywhere else.
    EXPECT_GE(left.Elsewhere, 20.0);
    EXPECT_GE(left.Window, left.Elsewhere - 2.0) << "the main window was recorded";

    QByteArray with = RecordFrame(true, "with");
    ASSERT_EQ(with.size(), 1920 * 1080 * 4);
    const TPlaceQuality shown = Quality(with);
    EXPECT_LT(shown.Window, shown.Elsewhere - 10.0)
        << "the main window is missing although asked for";
}
