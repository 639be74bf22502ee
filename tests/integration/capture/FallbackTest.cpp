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
    const std::uint8_t* pixel = grab.Pixels + 300 * grab.Stride + std::ptrdiff_t{300} * 4;
    EXPECT_EQ(pixel[1], 0xFF) << "the plain grab shows the window";

    TempDir folder;
    auto record = [&](const char* transparent) {
        return RunProcess(QString::fromStdString((BinDir() / "vardocle-record").string()),
                          {QString::fromStdString((folder / transparent).string()) + ".avi",
                           "--seconds", "1.5", "--no-sound", "--transparent", transparent},
                          std::chrono::seconds(60),
                          {"DISPLAY=" + QString::fromStdString(server.Name())});
    };
    const QByteArray notice = TransparentExclusionMissingNotice().Chinese;
    const auto off = record("off");
    EXPECT_EQ(off.ExitCode, 0) << off.Err.constData();
    EXPECT_EQ(Occurrences(off.Err, notice), 1) << off.Err.constData();
    // Nothing is missing when see-through windows are to be recorded anyway.
    const auto on = record("on");
    EXPECT_EQ(on.ExitCode, 0) << on.Err.constData();
    EXPECT_EQ(Occurrences(on.Err, notice), 0) << on.Err.constData();
}

} // namespace
