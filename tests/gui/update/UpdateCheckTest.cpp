// The update check against a local web site: what is shown for each answer,
// and that the calling window's event loop never waits for the network.
#include "update/UpdateCheck.h"
#include "platform/base/QtChild.h"
#include "tests/support/EventWait.h"
#include "tests/support/LocalHttpServer.h"
#include "tests/support/UrlRecorder.h"
#include "update/Update.h"
#include "update/uFrmUpdate.h"

#include <QApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace vardocle {
namespace {

using test::HttpResponse;
using test::LocalHttpServer;
using test::WaitFor;

QList<TFrmUpdate*> UpdateDialogs() {
    QList<TFrmUpdate*> dialogs;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<TFrmUpdate*>(widget); dialog && dialog->isVisible())
            dialogs.append(dialog);
    }
    return dialogs;
}

class UpdateCheckTest : public ::testing::Test {
protected:
    void SetUp() override { Window = std::make_unique<QWidget>(); }
    void TearDown() override {
        for (TFrmUpdate* dialog : UpdateDialogs())
            dialog->close();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Runs one check against `response` and returns its outcome.
    TUpdateOutcome Check(const HttpResponse& response, int timeoutMs = 5000) {
        Server.SetResponse("/57.txt", response);
        std::optional<TUpdateOutcome> outcome;
        auto* check = MakeQtChild<TUpdateCheck>(Window.get(), QUrl(Server.BaseUrl() + "/57.txt"),
                                                std::chrono::milliseconds(timeoutMs), Window.get());
        QObject::connect(check, &TUpdateCheck::Finished,
                         [&outcome](TUpdateOutcome result) { outcome = result; });
        EXPECT_TRUE(WaitFor([&] { return outcome.has_value(); }, timeoutMs + 5000));
        QApplication::processEvents();
        return outcome.value_or(TUpdateOutcome::Failed);
    }

    static HttpResponse Text(const QByteArray& body, int status = 200) {
        HttpResponse response;
        response.Status = status;
        response.Body = body;
        return response;
    }

    LocalHttpServer Server;
    std::unique_ptr<QWidget> Window;
};

TEST_F(UpdateCheckTest, NewerVersionShowsTheDialogThatOpensTheDownloadPage) {
    const auto outcome = Check(Text("version=1.0.0.1\nurl=http://example.org/get.html\n"
                                    "notes=更快的录制\nnotes=<i>not markup</i>\n"));
    EXPECT_EQ(outcome, TUpdateOutcome::NewerVersion);
    const auto dialogs = UpdateDialogs();
    ASSERT_EQ(dialogs.size(), 1);
    TFrmUpdate* dialog = dialogs.front();
    EXPECT_EQ(dialog->parentWidget(), Window.get());
    EXPECT_TRUE(dialog->LblVersion->text().contains("1.0.0.1"));
    EXPECT_TRUE(dialog->LblVersion->text().contains("1.0.0.0"));
    // The download page's own host, not the site that answered the check.
    EXPECT_TRUE(dialog->LblVersion->text().contains("下载网站: example.org\n"))
        << dialog->LblVersion->text().toStdString();
    EXPECT_EQ(dialog->MemoNotes->toPlainText(), QString::fromUtf8("更快的录制\n<i>not markup</i>"));

    test::UrlRecorder recorder({"http"});
    dialog->BtnDownload->click();
    ASSERT_EQ(recorder.Opened.size(), 1);
    EXPECT_EQ(recorder.Opened.front(), QUrl("http://example.org/get.html"));
    EXPECT_TRUE(WaitFor([] { return UpdateDialogs().isEmpty(); }));
}

TEST_F(UpdateCheckTest, SameOrOlderVersionShowsNothing) {
    EXPECT_EQ(Check(Text("version=1.0.0.0\nurl=http://example.org/\n")), TUpdateOutcome::NotNewer);
    EXPECT_EQ(Check(Text("version=1.0\nurl=http://example.org/\n")), TUpdateOutcome::NotNewer);
    EXPECT_EQ(Check(Text("version=0.9.9.9\nurl=http://example.org/\n")), TUpdateOutcome::NotNewer);
    EXPECT_TRUE(UpdateDialogs().isEmpty());
}

TEST_F(UpdateCheckTest, BadAnswersShowNothing) {
    EXPECT_EQ(Check(Text("")), TUpdateOutcome::NotADescription);
    EXPECT_EQ(Check(Text(QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16))),
              TUpdateOutcome::NotADescription);
    EXPECT_EQ(Check(Text("version=9.x\nurl=http://example.org/\n")),
              TUpdateOutcome::NotADescription);
    EXPECT_EQ(Check(Text("<html><body>Welcome</body></html>")), TUpdateOutcome::NotADescription);
    // A valid-looking description that goes on past the limit is cut off.
    QByteArray huge = "version=9.0\nurl=http://example.org/\n";
    huge += QByteArray(1 << 20, '#');
    EXPECT_EQ(Check(Text(huge)), TUpdateOutcome::TooLarge);
    const QByteArray newer = "version=9.0\nurl=http://example.org/\n";
    EXPECT_EQ(Check(Text(newer, 404)), TUpdateOutcome::Failed);
    EXPECT_EQ(Check(Text(newer, 500)), TUpdateOutcome::Failed);
    EXPECT_TRUE(UpdateDialogs().isEmpty());
}

TEST_F(UpdateCheckTest, ClosedPortAndBadAddressesShowNothing) {
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        closedPort = probe.serverPort();
    }
    std::optional<TUpdateOutcome> outcome;
    auto* check = MakeQtChild<TUpdateCheck>(
        Window.get(), QUrl(QStringLiteral("http://127.0.0.1:%1/57.txt").arg(closedPort)),
        std::chrono::seconds(5), Window.get());
    QObject::connect(check, &TUpdateCheck::Finished, [&](TUpdateOutcome r) { outcome = r; });
    ASSERT_TRUE(WaitFor([&] { return outcome.has_value(); }));
    EXPECT_EQ(*outcome, TUpdateOutcome::Failed);

    outcome.reset();
    check = MakeQtChild<TUpdateCheck>(Window.get(), QUrl("file:///etc/hostname"),
                                      std::chrono::seconds(5), Window.get());
    QObject::connect(check, &TUpdateCheck::Finished, [&](TUpdateOutcome r) { outcome = r; });
    EXPECT_FALSE(outcome.has_value()); // reported later, never during the call
    ASSERT_TRUE(WaitFor([&] { return outcome.has_value(); }));
    EXPECT_EQ(*outcome, TUpdateOutcome::Failed);

    DoUpdate(Window.get(), nullptr);
    DoUpdate(Window.get(), "");
    DoUpdate(nullptr, "not an address at all");
    QApplication::processEvents();
    EXPECT_TRUE(UpdateDialogs().isEmpty());
}

TEST_F(UpdateCheckTest, SiteThatNeverAnswersNeitherFreezesNorShowsAnything) {
    HttpResponse silent;
    silent.NeverAnswer = true;
    Server.SetResponse("/57.txt", silent);

    // The caller's event loop keeps running: a 20 ms timer never waits long.
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout,
                     [&] { longestGap = std::max(longestGap, sinceTick.restart()); });
    QElapsedTimer callTime;
    callTime.start();
    DoUpdate(Window.get(), (Server.BaseUrl() + "/57.txt").toUtf8().constData());
    EXPECT_LT(callTime.elapsed(), 100);
    auto* check = Window->findChild<TUpdateCheck*>();
    ASSERT_NE(check, nullptr);
    std::optional<TUpdateOutcome> outcome;
    QObject::connect(check, &TUpdateCheck::Finished, [&](TUpdateOutcome r) { outcome = r; });

    sinceTick.start();
    ticker.start(20);
    ASSERT_TRUE(WaitFor([&] { return Server.RequestCount("/57.txt") == 1; }));
    test::KeepRunning(1500);
    EXPECT_LT(longestGap, 100);
    EXPECT_FALSE(outcome.has_value());
    EXPECT_TRUE(UpdateDialogs().isEmpty());

    // Closing the program while the check waits ends the check with it.
    QPointer<TUpdateCheck> watched(check);
    Window.reset();
    EXPECT_TRUE(watched.isNull());
}

TEST_F(UpdateCheckTest, SilentSiteIsGivenUpAfterTheTimeOut) {
    HttpResponse silent;
    silent.NeverAnswer = true;
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(Check(silent, 400), TUpdateOutcome::TimedOut);
    EXPECT_GE(clock.elapsed(), 350); // timers may fire a little early
    EXPECT_TRUE(UpdateDialogs().isEmpty());
}

TEST_F(UpdateCheckTest, DoUpdateFetchesTheGivenAddressOnce) {
    Server.SetResponse("/SiteBack/updateTxt/57.txt",
                       Text("version=2.0\nurl=http://example.org/\n"));
    DoUpdate(Window.get(), (Server.BaseUrl() + "/SiteBack/updateTxt/57.txt").toUtf8().constData());
    EXPECT_TRUE(UpdateDialogs().isEmpty()); // nothing before the answer arrives
    ASSERT_TRUE(WaitFor([] { return UpdateDialogs().size() == 1; }));
    EXPECT_EQ(Server.Requests(), QStringList{"/SiteBack/updateTxt/57.txt"});
}

} // namespace
} // namespace vardocle
