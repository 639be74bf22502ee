// The advertisement window on a real X screen: where it lands, and what a
// real right click inside the page does.
#include "services/SiteAddresses.h"
#include "services/uFrmAD.h"
#include "skin/ImageButton.h"
#include "tests/support/EventWait.h"
#include "tests/support/LocalHttpServer.h"
#include "tests/support/SkinTestEnvironment.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QProcess>
#include <QScreen>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <gtest/gtest.h>

namespace vardocle {
namespace {

using test::WaitFor;

// Runs xdotool without blocking this event loop (the page must keep running).
bool XDoTool(const QStringList& arguments) {
    QProcess process;
    process.start("xdotool", arguments);
    if (!WaitFor([&] { return process.state() == QProcess::NotRunning; }, 10000))
        return false;
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

QString Script(QWebEngineView* web, const QString& script) {
    std::optional<QVariant> result;
    web->page()->runJavaScript(script, [&result](const QVariant& value) { result = value; });
    EXPECT_TRUE(WaitFor([&] { return result.has_value(); }));
    return result.value_or(QVariant()).toString();
}

TEST(FrmADOnTheDesktop, SitsAboveTheBottomRightCornerAndIgnoresRightClicksInThePage) {
    VARDOCLE_REQUIRE_DISPLAY();
    ASSERT_EQ(QGuiApplication::platformName(), "xcb");
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    ASSERT_EQ(screen.size(), QSize(1920, 1080)) << "the test screen is 1920x1080";

    test::LocalHttpServer server;
    test::HttpResponse page;
    page.ContentType = "text/html; charset=utf-8";
    page.Body = "<html><body style='margin:0'><div style='height:400px'>广告</div><script>"
                "var seen = [];"
                "document.addEventListener('mousedown', e => seen.push('down' + e.button));"
                "document.addEventListener('contextmenu', e => seen.push('menu'));"
                "</script></body></html>";
    server.SetResponse("/ad/2010112257_1.html", page);
    ASSERT_TRUE(SetSiteBase(server.BaseUrl()));

    TFrmAD frm(nullptr);
    frm.ShowInFront();
    ASSERT_TRUE(WaitFor([&] { return !frm.Loading(); }));
    ASSERT_TRUE(frm.isVisible());
    EXPECT_EQ(frm.frameGeometry().topLeft(), QPoint(1613, 815));
    EXPECT_EQ(frm.frameGeometry().size(), QSize(307, 235));
    // No task-bar entry of its own.
    EXPECT_TRUE(test::RunProcess("xprop", {"-id", QString::number(frm.winId()), "_NET_WM_STATE"})
                    .Out.contains("_NET_WM_STATE_SKIP_TASKBAR"));

    // Clicks count once the page is complete and drawn.
    ASSERT_TRUE(WaitFor([&] { return Script(frm.Web, "document.readyState") == "complete"; }));
    test::KeepRunning(500);
    // A point in the middle of the page, in screen coordinates.
    const QPoint inPage = frm.Web->mapToGlobal(frm.Web->rect().center());
    ASSERT_TRUE(XDoTool(
        {"mousemove", QString::number(inPage.x()), QString::number(inPage.y()), "click", "3"}));
    test::KeepRunning(500);
    ASSERT_TRUE(XDoTool({"click", "1"}));
    EXPECT_TRUE(WaitFor([&] { return Script(frm.Web, "seen.length") != "0"; }));
    EXPECT_EQ(Script(frm.Web, "seen.join(',')").toStdString(), "down0");
    for (QWidget* widget : QApplication::topLevelWidgets())
        EXPECT_FALSE(widget->isVisible() && widget->inherits("QMenu"));
}

} // namespace
} // namespace vardocle
