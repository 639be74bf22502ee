// The program's web site as the program meets it: a local server stands in
// for it (--site), and what the program asks of it is counted.
#include "tests/integration/app/ProgramDriver.h"
#include "tests/support/LocalHttpServer.h"

#include <QElapsedTimer>

using namespace vardocle::test;

namespace {

constexpr const char* kAdPage = "/ad/2010112257_1.html";
constexpr const char* kUpdateDescription = "/SiteBack/updateTxt/57.txt";

class OnlineServices : public ProgramTest {
protected:
    void Publish(const QByteArray& version, bool answer = true) {
        HttpResponse page;
        page.ContentType = "text/html; charset=utf-8";
        page.Body = "<html><body>广告</body></html>";
        page.NeverAnswer = !answer;
        Server.SetResponse(kAdPage, page);
        HttpResponse description;
        description.Body = "version=" + version + "\nurl=http://127.0.0.1:9/download.html\n";
        description.NeverAnswer = !answer;
        Server.SetResponse(kUpdateDescription, description);
    }

    LocalHttpServer Server;
};

} // namespace

TEST_F(OnlineServices, AdvertisementAndUpdateCheckOnceAfterStartAndTheAdvertisementAfterStop) {
    Publish("1.0.0.0");
    QElapsedTimer clock;
    clock.start();
    StartProgram(Program, Server.BaseUrl());
    const QString mainWindow = OnlyWindow("Vardocle");
    ASSERT_FALSE(mainWindow.isEmpty()) << "the main window did not appear";
    ASSERT_TRUE(WaitUntil([&] { return Server.RequestCount(kUpdateDescription) == 1; }, 20s));
    const qint64 asked = clock.elapsed();
    EXPECT_GE(asked, 4500);
    EXPECT_LE(asked, 12000);
    ASSERT_TRUE(WaitUntil([&] { return Server.RequestCount(kAdPage) >= 1; }, 20s));
    WaitUntil([] { return false; }, 3s); // nothing more is asked
    EXPECT_EQ(Server.RequestCount(kUpdateDescription), 1);
    EXPECT_EQ(Server.RequestCount(kAdPage), 1);
    // The same version: no update dialog.
    EXPECT_TRUE(VisibleWindows("软件更新").isEmpty());

    // The user closes the advertisement with its button; after a recording's
    // Stop it shows again with the page loaded afresh.
    const QString advertisement = WaitForNewWindow("Vardocle", {mainWindow});
    ASSERT_FALSE(advertisement.isEmpty());
    Xdotool({"mousemove", "--window", advertisement, "288", "12", "click", "1"});
    ASSERT_TRUE(WaitUntil([&] { return !IsVisible(advertisement); }));
    Key("alt+1");
    ChooseFile(Folder / "videos" / "online");
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(Folder / "videos" / "online.Wav"); }));
    Key("alt+4");
    ASSERT_TRUE(WaitUntil([&] { return Server.RequestCount(kAdPage) == 2; }, 30s));
    EXPECT_EQ(Server.RequestCount(kUpdateDescription), 1);
}

TEST_F(OnlineServices, ANewerVersionShowsTheUpdateDialog) {
    Publish("1.0.0.1");
    StartProgram(Program, Server.BaseUrl());
    ASSERT_TRUE(WaitForWindowCount("软件更新", 1, 30s)) << "no update dialog";
}

TEST_F(OnlineServices, ASiteThatNeverAnswersLeavesTheWindowResponsive) {
    Publish("1.0.0.1", false);
    StartProgram(Program, Server.BaseUrl());
    const QString mainWindow = OnlyWindow("Vardocle");
    ASSERT_FALSE(mainWindow.isEmpty()) << "the main window did not appear";
    qint64 slowest = 0;
    QElapsedTimer clock;
    clock.start();
    // Through the update check (5 s after start) and well after it.
    while (clock.elapsed() < 12000) {
        const bool visible = IsVisible(mainWindow);
        QElapsedTimer answer;
        answer.start();
        Key("ctrl+s");
        ASSERT_TRUE(WaitUntil([&] { return IsVisible(mainWindow) != visible; }, 5s))
            << "Ctrl+S had no effect after " << clock.elapsed() << " ms";
        slowest = std::max(slowest, answer.elapsed());
        WaitUntil([] { return false; }, 300ms);
    }
    EXPECT_GE(Server.RequestCount(kUpdateDescription), 1);
    // One key press and the polls that see its effect take some tens of
    // milliseconds by themselves; a frozen window would take seconds.
    EXPECT_LT(slowest, 500) << "slowest answer to Ctrl+S: " << slowest << " ms";
    std::printf("slowest answer to Ctrl+S: %lld ms\n", static_cast<long long>(slowest));
}
