// Without Composite the grab cannot see beneath windows: it records them and
// the command-line recorder says so, once.
#include "tests/support/TestSupport.h"

#include "platform/screen/X11Screen.h"
#include "tests/integration/capture/PrivateXServer.h"
#include "tests/integration/capture/TestDesktop.h"

#include <gtest/gtest.h>

using namespace vardocle;
using namespace vardocle::test;

namespace {

int Occurrences(const QByteArray& text, const QByteArray& part) {
    int count = 0;
    for (qsizetype at = text.indexOf(part); at >= 0; at = text.indexOf(part, at + 1))
        ++count;
    return count;
}

TEST(ScreenCaptureFallback, WithoutCompositeWindowsAreRecordedAndTheRecorderSaysSoOnce) {
    TPrivateXServer server({"-extension", "Composite"});
    ASSERT_FALSE(server.Name().empty()) << "Xvfb did not start";
    TTestDesktop desktop(server.Name());
    ASSERT_TRUE(desktop.Connected());
    desktop.ShowWallpaper();
    desktop.ShowWindow(TTestWindowKind::OpacityHint, {200, 200, 300, 300}, 0x00FF00);

    TX11Screen screen(server.Name());
    EXPECT_FALSE(screen.TransparentExclusionAvailable());
    screen.SetCaptureTransparent(false);
    const TScreenGrab grab = screen.Grab();
    const std::uint8_t* pixel = grab.Pixels + 300 * grab.Stride + 300 * 4;
    EXPECT_EQ(pixel[1], 0xFF) << "the plain grab shows the window";

    TempDir folder;
    const QString recorder = QString::fromStdString((BinDir() / "vardocle-record").string());
    const QStringList environment{"DISPLAY=" + QString::fromStdString(server.Name())};
    const QByteArray notice = TransparentExclusionMissingNotice().Chinese;
    const auto off = RunProcess(recorder,
                                {QString::fromStdString((folder / "off.avi").string()), "--seconds",
                                 "1.5", "--no-sound", "--transparent", "off"},
                                std::chrono::seconds(60), environment);
    EXPECT_EQ(off.ExitCode, 0) << off.Err.constData();
    EXPECT_EQ(Occurrences(off.Err, notice), 1) << off.Err.constData();

    const auto on = RunProcess(recorder,
                               {QString::fromStdString((folder / "on.avi").string()), "--seconds",
                                "0.5", "--no-sound", "--transparent", "on"},
                               std::chrono::seconds(60), environment);
    EXPECT_EQ(on.ExitCode, 0) << on.Err.constData();
    EXPECT_EQ(Occurrences(on.Err, notice), 0) << on.Err.constData();
}

} // namespace
