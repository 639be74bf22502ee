// The advertisement window against a local web site: placement, loading on
// every showing from hidden, the page's border, focus, and right presses.
#include "services/SiteAddresses.h"
#include "services/uFrmAD.h"
#include "skin/ImageButton.h"
#include "tests/support/EventWait.h"
#include "tests/support/LocalHttpServer.h"
#include "tests/support/SkinTestEnvironment.h"
#include "tests/support/UrlRecorder.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QTcpServer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <gtest/gtest.h>

namespace vardocle {
namespace {

using test::HttpResponse;
using test::LocalHttpServer;
using test::WaitFor;

const QString kAdPath = QStringLiteral("/ad/2010112257_1.html");

QVariant RunScript(QWebEngineView* web, const QString& script) {
    std::optional<QVariant> result;
    web->page()->runJavaScript(script, [&result](const QVariant& value) { result = value; });
    EXPECT_TRUE(WaitFor([&] { return result.has_value(); }));
    return result.value_or(QVariant());
}

// Counts the mouse presses that reach an object, per button.
class PressCounter : public QObject {
public:
    int Left = 0;
    int Right = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonPress) {
            const auto button = static_cast<QMouseEvent*>(event)->button();
            Left += button == Qt::LeftButton ? 1 : 0;
            Right += button == Qt::RightButton ? 1 : 0;
        }
        return false;
    }
};

void Press(QWidget* target, Qt::MouseButton button) {
    const QPointF at(target->width() / 2.0, target->height() / 2.0);
    QMouseEvent press(QEvent::MouseButtonPress, at, target->mapToGlobal(at), button, button,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, target->mapToGlobal(at), button,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

class FrmADTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SetSiteBase(Server.BaseUrl()));
        HttpResponse page;
        page.ContentType = "text/html; charset=utf-8";
        page.Cacheable = true; // showing again must load it anyway
        page.Body = "<html><body style='border: 7px solid red; margin: 0'>"
                    "<div style='width:100%;height:300px'>广告</div>"
                    "</body></html>";
        Server.SetResponse(kAdPath, page);
    }

    // Asks for the window and waits until the page has loaded and it shows.
    static bool ShowAndLoad(TFrmAD& frm) {
        frm.ShowInFront();
        return WaitFor([&] { return !frm.Loading(); }) && frm.isVisible();
    }

    LocalHttpServer Server;
};

TEST(FrmADPlace, BottomRightCornerThirtyPixelsAboveTheBottom) {
    EXPECT_EQ(TFrmAD::BottomRightPlace(QRect(0, 0, 1920, 1080), QSize(307, 235)),
              QPoint(1613, 815));
    EXPECT_EQ(TFrmAD::BottomRightPlace(QRect(1920, 0, 1280, 1024), QSize(307, 235)),
              QPoint(2893, 759));
    TFrmAD frm(nullptr);
    EXPECT_EQ(frm.size(), QSize(307, 235));
    EXPECT_TRUE(frm.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_FALSE(frm.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(frm.isVisible()); // created hidden
    EXPECT_EQ(frm.pos(),
              TFrmAD::BottomRightPlace(QGuiApplication::primaryScreen()->geometry(), frm.size()));
    EXPECT_EQ(frm.Web, nullptr); // no web engine before a page is to be shown
    EXPECT_EQ(frm.BtnClose->geometry(), QRect(276, 2, 25, 20));
    // The skin's pictures, stretched over the window.
    ASSERT_NE(frm.ImgTitle->pixmap().size(), QSize());
    EXPECT_EQ(frm.ImgTitle->pixmap().size(), QSize(240, 24));
    EXPECT_EQ(frm.ImgTitle->geometry(), QRect(0, 0, 307, 24));
    EXPECT_EQ(frm.ImgBk->pixmap().size(), QSize(240, 65));
    EXPECT_EQ(frm.ImgBk->geometry(), QRect(0, 24, 307, 211));
    ASSERT_NE(frm.BtnClose->BorderImage(), nullptr);
    EXPECT_EQ(frm.BtnClose->BorderImage()->GetWidth(), 125u);
}

TEST_F(FrmADTest, EveryShowingFromHiddenLoadsThePageAfresh) {
    TFrmAD frm(nullptr);
    test::KeepRunning(200);
    EXPECT_EQ(Server.RequestCount(kAdPath), 0); // nothing before the first showing

    ASSERT_TRUE(ShowAndLoad(frm));
    EXPECT_EQ(Server.RequestCount(kAdPath), 1);
    EXPECT_EQ(Server.HeadCount(kAdPath), 1); // asked before the engine was started
    EXPECT_EQ(frm.Web->url(), QUrl(Server.BaseUrl() + kAdPath));
    EXPECT_EQ(frm.Web->geometry(), QRect(5, 24, 298, 206));

    frm.ShowInFront(); // already visible: brought to the front only
    test::KeepRunning(500);
    EXPECT_EQ(Server.RequestCount(kAdPath), 1);

    frm.BtnClose->Click();
    EXPECT_FALSE(frm.isVisible());
    ASSERT_TRUE(ShowAndLoad(frm));
    EXPECT_EQ(Server.RequestCount(kAdPath), 2);

    // After the user followed a link in the page, the next showing still
    // fetches the advertisement from the site, not from a cache.
    bool loaded = false;
    QObject::connect(frm.Web, &QWebEngineView::loadFinished, [&loaded](bool) { loaded = true; });
    RunScript(frm.Web, "location.href = '/elsewhere.html'; 1");
    ASSERT_TRUE(WaitFor([&] { return loaded && Server.RequestCount("/elsewhere.html") == 1; }));
    frm.close();
    ASSERT_TRUE(ShowAndLoad(frm));
    EXPECT_EQ(Server.RequestCount(kAdPath), 3);
}

TEST_F(FrmADTest, PageShowsWithoutBodyBorder) {
    TFrmAD frm(nullptr);
    ASSERT_TRUE(ShowAndLoad(frm));
    EXPECT_TRUE(WaitFor([&] {
        return RunScript(frm.Web, "document.body.style.borderStyle").toString() == "none";
    }));
    EXPECT_EQ(RunScript(frm.Web, "document.body.style.borderColor").toString(), "red");
}

TEST_F(FrmADTest, RightPressesInsideThePageAreDroppedButNotOnTheWindowsOwnParts) {
    TFrmAD frm(nullptr);
    ASSERT_TRUE(ShowAndLoad(frm));
    QWidget* page = frm.Web->focusProxy();
    ASSERT_NE(page, nullptr);
    PressCounter inPage;
    PressCounter onPicture;
    page->installEventFilter(&inPage);
    frm.ImgBk->installEventFilter(&onPicture);

    Press(page, Qt::RightButton);
    Press(frm.ImgBk, Qt::RightButton);
    Press(page, Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_EQ(inPage.Right, 0);
    EXPECT_EQ(inPage.Left, 1);
    EXPECT_EQ(onPicture.Right, 1);

    // What the page itself sees of real clicks is checked on the X screen
    // (integration tests): synthetic events reach its renderer unreliably.
    test::KeepRunning(200);
    for (QWidget* widget : QApplication::topLevelWidgets())
        EXPECT_FALSE(widget->isVisible() && widget->inherits("QMenu"));
}

TEST_F(FrmADTest, FinishedLoadGivesTheFocusBackToTheVisibleMainWindow) {
    QWidget mainWindow;
    mainWindow.setFocusPolicy(Qt::StrongFocus);
    mainWindow.show();
    TFrmAD frm(&mainWindow);
    ASSERT_TRUE(ShowAndLoad(frm));
    // The advertisement has the focus when its next load completes.
    frm.activateWindow();
    ASSERT_TRUE(WaitFor([&] { return QApplication::activeWindow() == &frm; }));
    bool loaded = false;
    QObject::connect(frm.Web, &QWebEngineView::loadFinished, [&loaded](bool) { loaded = true; });
    frm.Web->reload();
    ASSERT_TRUE(WaitFor([&] { return loaded; }));
    EXPECT_TRUE(WaitFor([&] { return QApplication::activeWindow() == &mainWindow; }));
}

TEST_F(FrmADTest, FinishedLoadLeavesTheFocusWithAnotherWindow) {
    QWidget mainWindow;
    mainWindow.show();
    QWidget other; // the settings window, say
    other.show();
    TFrmAD frm(&mainWindow);
    ASSERT_TRUE(ShowAndLoad(frm));
    other.activateWindow();
    ASSERT_TRUE(WaitFor([&] { return QApplication::activeWindow() == &other; }));
    bool loaded = false;
    QObject::connect(frm.Web, &QWebEngineView::loadFinished, [&loaded](bool) { loaded = true; });
    frm.Web->reload();
    ASSERT_TRUE(WaitFor([&] { return loaded; }));
    test::KeepRunning(300);
    EXPECT_EQ(QApplication::activeWindow(), &other);
}

TEST_F(FrmADTest, PageThatCannotLoadShowsNothingAndStartsNoWebEngine) {
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        closedPort = probe.serverPort();
    }
    ASSERT_TRUE(SetSiteBase(QStringLiteral("http://127.0.0.1:%1").arg(closedPort)));
    TFrmAD frm(nullptr);
    int unavailable = 0;
    QObject::connect(&frm, &TFrmAD::PageUnavailable, [&unavailable] { ++unavailable; });
    EXPECT_FALSE(ShowAndLoad(frm));
    EXPECT_EQ(unavailable, 1);
    EXPECT_EQ(frm.Web, nullptr);

    // An error status is a page that cannot be loaded too; every showing
    // asks the site again.
    HttpResponse broken;
    broken.Status = 500;
    broken.Body = "oops";
    Server.SetResponse(kAdPath, broken);
    ASSERT_TRUE(SetSiteBase(Server.BaseUrl()));
    EXPECT_FALSE(ShowAndLoad(frm));
    EXPECT_EQ(unavailable, 2);
    EXPECT_EQ(Server.HeadCount(kAdPath), 1);
    EXPECT_EQ(frm.Web, nullptr);

    // Once the engine runs, a page that fails to load leaves the window hidden.
    SetUp();
    ASSERT_TRUE(ShowAndLoad(frm));
    frm.BtnClose->Click();
    Server.SetResponse(kAdPath, broken);
    EXPECT_FALSE(ShowAndLoad(frm));
    EXPECT_EQ(unavailable, 3);
    EXPECT_EQ(Server.RequestCount(kAdPath), 2);
}

TEST_F(FrmADTest, LinksAskingForANewWindowOpenInTheBrowser) {
    HttpResponse page;
    page.ContentType = "text/html; charset=utf-8";
    page.Body = "<html><body><a id='out' href='http://example.org/offer.html' "
                "target='_blank'>offer</a></body></html>";
    Server.SetResponse(kAdPath, page);
    test::UrlRecorder browser({"http", "https"});
    TFrmAD frm(nullptr);
    ASSERT_TRUE(ShowAndLoad(frm));
    const auto windowsBefore = QApplication::topLevelWidgets().size();
    RunScript(frm.Web, "document.getElementById('out').click(); 1");
    ASSERT_TRUE(WaitFor([&] { return !browser.Opened.isEmpty(); }));
    EXPECT_EQ(browser.Opened.front(), QUrl("http://example.org/offer.html"));
    // The advertisement stays where it was, and no window of ours was added.
    test::KeepRunning(300);
    EXPECT_EQ(frm.Web->url(), QUrl(Server.BaseUrl() + kAdPath));
    EXPECT_EQ(QApplication::topLevelWidgets().size(), windowsBefore);
    EXPECT_EQ(browser.Opened.size(), 1);
}

} // namespace
} // namespace vardocle
