// How well the main window answers while a long recording is saved: an hour
// of sound (635 MB, as a one-hour recording at 5 frames a second makes) is
// merged into the video after Stop, and a timer measures the longest gap
// between two turns of the event loop meanwhile. The references, measured in
// the same run: the longest gap of the same loop while recording, and how
// long the saving took (what the window would freeze for if it saved on its
// own thread). Figures are printed; only a broken save fails the run.
#include "app/SpinEdit.h"
#include "app/uFrmMain.h"
#include "skin/ImagingSession.h"
#include "tests/support/EventWait.h"
#include "tests/support/FakeSoundLibrary.h"
#include "tests/support/TestSupport.h"

#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>

using namespace vardocle;
namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kSoundSeconds = 3600;
constexpr std::uint32_t kBytesPerSecond = 176400; // 44100 Hz, 16-bit stereo
constexpr std::uint32_t kBlockBytes = kBytesPerSecond / 10;

class StillScreen : public IScreen {
public:
    StillScreen() : FPixels(320 * 240 * 4, 0x60) {}
    TScreenGrab Grab() override { return {FPixels.data(), 320, 240, 320 * 4}; }
    TCursorImage Cursor() override { return {}; }
    void SetCaptureTransparent(bool) override {}

private:
    std::vector<std::uint8_t> FPixels;
};

// The longest time between two turns of the event loop while it runs.
class LoopGapMeter {
public:
    LoopGapMeter() {
        FTick.setInterval(0);
        QObject::connect(&FTick, &QTimer::timeout,
                         [this] { FLongest = std::max(FLongest, FClock.restart()); });
    }
    void Start() {
        FLongest = 0;
        FClock.start();
        FTick.start();
    }
    qint64 Stop() {
        FTick.stop();
        return std::max(FLongest, FClock.elapsed());
    }

private:
    QTimer FTick;
    QElapsedTimer FClock;
    qint64 FLongest = 0;
};

} // namespace

TEST(SaveResponsivenessBench, TheWindowAnswersWhileAnHourOfSoundIsMerged) {
    const TImagingSession imaging;
    const test::TempDir folder(std::uintmax_t(3) << 30);
    setenv("XDG_RUNTIME_DIR", folder.Path().c_str(), 1);

    // The sound's clock follows the blocks, so that the hour counts as an
    // hour of wall-clock time and is copied as it is.
    auto library = std::make_shared<test::FakeSoundLibrary>();
    const auto soundStart = std::chrono::steady_clock::now();
    std::int64_t fedBytes = 0;
    TMainWindowServices services;
    services.ChooseFile = [&](TFrmMain&, const QString&) -> std::optional<QString> {
        return QString::fromStdString((folder.Path() / "hour.avi").string());
    };
    services.AskOverwrite = [](TFrmMain&) { return true; };
    services.AskExit = [](TFrmMain&, const QString&) { return true; };
    services.ShowNotice = [](TFrmMain&, const QString& message) {
        ADD_FAILURE() << message.toStdString();
    };
    services.MakeScreen = [](const TCaptureArea&) { return std::make_unique<StillScreen>(); };
    services.MakeRecorder = [&] {
        return std::make_unique<TWavRecord>(library, [&] {
            return soundStart + std::chrono::microseconds(fedBytes * 1000000 / kBytesPerSecond);
        });
    };
    services.DoUpdate = [](QWidget*, const char*) {};
    TFrmMain main(services);
    TFrmSetting setting(&main, folder.Path() / "Setting.ini");
    setting.SpinWidth->SetValue(320);
    setting.SpinHeight->SetValue(240);
    setting.SpinRate->SetValue(5);
    main.SetWindows(nullptr, nullptr, nullptr, nullptr, &setting);
    main.show();

    main.BtnStartClick();
    ASSERT_TRUE(test::WaitFor([&] { return library->Recording(); }));
    // The hour of sound arrives in blocks, the loop turning between them.
    const std::vector<std::uint8_t> block(kBlockBytes, 0x21);
    while (fedBytes < kSoundSeconds * kBytesPerSecond) {
        for (int i = 0; i < 50; ++i) {
            library->Feed(block);
            fedBytes += kBlockBytes;
        }
        QCoreApplication::processEvents();
    }
    // The reference: the loop while recording, frames handed over to it.
    LoopGapMeter meter;
    meter.Start();
    test::KeepRunning(2000);
    const qint64 recordingGap = meter.Stop();

    meter.Start();
    QElapsedTimer saving;
    saving.start();
    main.BtnStopClick();
    ASSERT_TRUE(test::WaitFor([&] { return main.State() == TRecordingState::Idle; }, 600000));
    const qint64 savingMs = saving.elapsed();
    const qint64 savingGap = meter.Stop();

    const QJsonObject sound = test::ProbeStream(folder.Path() / "hour.avi", "audio");
    ASSERT_FALSE(sound.isEmpty()) << "no sound in the saved video";
    EXPECT_FALSE(fs::exists(folder.Path() / "hour.Wav"));
    std::printf("saving an hour of sound took %lld ms\n"
                "longest event-loop gap while saving: %lld ms (target under 100 ms)\n"
                "  = %.4f of the saving time (a save on the window's thread: 1.0)\n"
                "  = %.2f x the longest gap while recording (%lld ms)\n",
                static_cast<long long>(savingMs), static_cast<long long>(savingGap),
                static_cast<double>(savingGap) / static_cast<double>(std::max<qint64>(savingMs, 1)),
                static_cast<double>(savingGap) /
                    static_cast<double>(std::max<qint64>(recordingGap, 1)),
                static_cast<long long>(recordingGap));
}
