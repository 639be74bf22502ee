// The program on a desktop with a window manager and no network, as a new
// user first meets it: the window list holds one entry of ours, the
// advertisement never appears, and the size fields start at the screen's
// size, which the settings file keeps after exit.
#include "tests/integration/app/ProgramDriver.h"
#include "tests/integration/capture/PrivateXServer.h"

#include <QRegularExpression>

using namespace vardocle::test;

namespace {

class WindowsOffline : public ProgramTest {
protected:
    // The window manager's list of client windows.
    QStringList Clients() const {
        const QString out = X11("xprop", {"-root", "_NET_CLIENT_LIST"});
        QStringList windows;
        for (const auto& match : QRegularExpression("0x[0-9a-f]+").globalMatch(out))
            windows << match.captured(0);
        return windows;
    }
    // The program's client windows, each with its properties as xprop and
    // xwininfo print them.
    QStringList OurClients() const {
        QStringList ours;
        for (const QString& window : Clients()) {
            const QString properties =
                X11("xprop", {"-id", window, "_NET_WM_PID", "_NET_WM_STATE"});
            if (properties.contains(QStringLiteral("= %1").arg(Program.processId())))
                ours << window + ' ' + properties + X11("xwininfo", {"-id", window});
        }
        return ours;
    }
    QString X11(const QString& program, const QStringList& arguments) const {
        return QString::fromUtf8(
            RunProcess(program, arguments, 15s, {"DISPLAY=" + QString::fromStdString(X.Name())})
                .Out);
    }
    int Command(const QStringList& words) {
        return RunProcess(Path(Folder / "bin" / "vardocle"), QStringList{"--command"} + words, 60s,
                          {"DISPLAY=" + QString::fromStdString(X.Name())})
            .ExitCode;
    }
    TPrivateXServer X;
    QProcess WindowManager;
};

} // namespace

TEST_F(WindowsOffline, OneTaskbarEntryNoAdvertisementAndTheScreensSizeOnAFirstStart) {
    ASSERT_FALSE(X.Name().empty()) << "no X server of our own";
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DISPLAY", QString::fromStdString(X.Name()));
    WindowManager.setProcessEnvironment(environment);
    EndWithTest(WindowManager);
    WindowManager.start("openbox", {"--sm-disable"});
    ASSERT_TRUE(WaitUntil([&] {
        return X11("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"}).contains("window id");
    })) << "openbox did not start";

    fs::remove(Folder / "bin" / "Setting.ini"); // a first start
    environment.insert("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    Program.setProcessEnvironment(environment);
    Program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // Where nothing answers: an offline desktop.
    Program.start(Path(Folder / "bin" / "vardocle"), {"--site", "http://127.0.0.1:9"});
    ASSERT_TRUE(Program.waitForStarted(10000));
    ASSERT_TRUE(WaitUntil([&] { return OurClients().size() == 1; })) << "no main window";
    const QString mainWindow = OurClients().front().section(' ', 0, 0);
    // The settings button, left of the title bar's other buttons.
    X11("xdotool", {"mousemove", "--window", mainWindow, "152", "12", "click", "1"});

    // Through the advertisement's time after start-up and after a Stop.
    bool advertisementSeen = false;
    QStringList clients;
    auto watch = [&](std::chrono::milliseconds span) {
        WaitUntil(
            [&] {
                clients = OurClients();
                for (const QString& client : clients)
                    advertisementSeen |=
                        client.contains("Width: 307") && client.contains("Height: 235");
                return false;
            },
            span);
    };
    watch(7s);
    ASSERT_EQ(Command({"start", Path(Folder / "videos" / "offline.avi")}), 0);
    watch(1s);
    ASSERT_EQ(Command({"stop"}), 0);
    watch(3s);
    EXPECT_FALSE(advertisementSeen);
    ASSERT_EQ(clients.size(), 2) << "the main and the settings window: "
                                 << clients.join('\n').toStdString();
    int inTaskbar = 0;
    for (const QString& client : clients)
        inTaskbar += client.contains("_NET_WM_STATE_SKIP_TASKBAR") ? 0 : 1;
    EXPECT_EQ(inTaskbar, 1) << clients.join('\n').toStdString();

    ASSERT_EQ(Command({"quit"}), 0);
    ASSERT_TRUE(Program.waitForFinished(20000));
    std::ifstream ini(Folder / "bin" / "Setting.ini");
    const std::string text((std::istreambuf_iterator<char>(ini)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("Width=1920\nHeight=1080\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("Width=1024"), std::string::npos) << text;
    WindowManager.terminate();
    WindowManager.waitForFinished(5000);
}
