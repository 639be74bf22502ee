#pragma once
// The main window over a temporary folder, with a stand-in screen and
// microphone and scripted answers; records what the window asked and showed.
#include "app/SpinEdit.h"
#include "app/uFrmMain.h"
#include "history/HistoryFile.h"
#include "platform/screen/ScreenBackend.h"
#include "skin/ImageButton.h"
#include "skin/ImagingSession.h"
#include "tests/support/EventWait.h"
#include "tests/support/FakeSoundLibrary.h"
#include "tests/support/TestSupport.h"

#include <QAction>
#include <QSystemTrayIcon>
#include <QTimer>

#include <atomic>
#include <stdexcept>

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace vardocle::test {

namespace fs = std::filesystem;

// A 64x48 screen of one colour; no cursor. Grabs fail once `fails` is set.
class FakeScreen : public IScreen {
public:
    explicit FakeScreen(std::shared_ptr<std::atomic<bool>> fails = nullptr,
                        std::shared_ptr<TScreenNoticeHandler> notices = nullptr)
        : FPixels(64 * 48 * 4, 0x80), FFails(std::move(fails)), FNotices(std::move(notices)) {}
    TScreenGrab Grab() override {
        if (FFails && *FFails)
            throw std::runtime_error("the screen went away");
        return {FPixels.data(), 64, 48, 64 * 4};
    }
    TCursorImage Cursor() override { return {}; }
    void SetCaptureTransparent(bool) override {}
    // Kept where the test can call it, as the recording thread would.
    void SetNoticeHandler(TScreenNoticeHandler handler) override {
        if (FNotices)
            *FNotices = std::move(handler);
    }

private:
    std::vector<std::uint8_t> FPixels;
    std::shared_ptr<std::atomic<bool>> FFails;
    std::shared_ptr<TScreenNoticeHandler> FNotices;
};

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("XDG_RUNTIME_DIR", Folder.Path().c_str(), 1);
        Services.ChooseFile = [this](TFrmMain&, const QString& initial) -> std::optional<QString> {
            Offered.push_back(initial);
            if (Answers.empty())
                return std::nullopt;
            QString next = Answers.front();
            Answers.erase(Answers.begin());
            return next;
        };
        Services.AskOverwrite = [this](TFrmMain&) {
            ++OverwriteQuestions;
            bool yes = OverwriteAnswers.front();
            OverwriteAnswers.erase(OverwriteAnswers.begin());
            return yes;
        };
        Services.AskExit = [this](TFrmMain&, const QString&) {
            ++ExitQuestions;
            return ExitAnswer;
        };
        Services.ShowNotice = [this](TFrmMain&, const QString& message) {
            Notices.push_back(message);
        };
        Services.MakeScreen = [this](const TCaptureArea& area) {
            ScreenAreas.push_back(area);
            if (AreaMissing)
                throw EAreaMissing(*AreaMissing);
            return std::make_unique<FakeScreen>(ScreenFails, ScreenNotice);
        };
        Services.MakeRecorder = [this] {
            Sound = std::make_shared<test::FakeSoundLibrary>();
            return std::make_unique<TWavRecord>(Sound);
        };
        Services.DoUpdate = [this](QWidget*, const char* url) { UpdateUrls.push_back(url); };
    }

    void Open() {
        Main = std::make_unique<TFrmMain>(Services);
        AviDir = std::make_unique<TFrmAVIDir>(nullptr, Folder.Path());
        Setting = std::make_unique<TFrmSetting>(Main.get(), Folder / "Setting.ini");
        Setting->SpinWidth->SetValue(64);
        Setting->SpinHeight->SetValue(48);
        Setting->SpinRate->SetValue(5);
        Main->SetWindows(nullptr, nullptr, nullptr, AviDir.get(), Setting.get());
    }

    std::vector<HistoryRecord> HistoryRecords() {
        std::vector<HistoryRecord> records;
        THistoryReader reader = AviDir->History().OpenReader();
        HistoryRecord record;
        while (reader.Next(record))
            records.push_back(record);
        return records;
    }

    // Stop returns at once; the window is idle again once the file is saved.
    void StopAndWait() {
        Main->BtnStopClick();
        ASSERT_TRUE(test::WaitFor([&] { return Main->State() == TRecordingState::Idle; }));
    }

    void RecordFor(int milliseconds) {
        Main->BtnStartClick();
        ASSERT_EQ(Main->State(), TRecordingState::Recording);
        test::KeepRunning(milliseconds);
        StopAndWait();
    }

    TImagingSession Imaging;
    test::TempDir Folder;
    TMainWindowServices Services;
    std::vector<QString> Answers;
    std::vector<QString> Offered;
    std::vector<bool> OverwriteAnswers;
    int OverwriteQuestions = 0;
    bool ExitAnswer = false;
    int ExitQuestions = 0;
    std::shared_ptr<std::atomic<bool>> ScreenFails = std::make_shared<std::atomic<bool>>(false);
    std::vector<QString> Notices;
    // Set: the screen is not made, as when the area left the screen.
    std::optional<std::string> AreaMissing;
    std::shared_ptr<TScreenNoticeHandler> ScreenNotice = std::make_shared<TScreenNoticeHandler>();
    std::vector<TCaptureArea> ScreenAreas; // what each screen asked for was to show
    std::vector<std::string> UpdateUrls;
    std::shared_ptr<test::FakeSoundLibrary> Sound;
    std::unique_ptr<TFrmMain> Main;
    std::unique_ptr<TFrmAVIDir> AviDir;
    std::unique_ptr<TFrmSetting> Setting;
};

inline QString Path(const fs::path& path) {
    return QString::fromStdString(path.string());
}

} // namespace vardocle::test
