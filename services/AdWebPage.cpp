#include "services/AdWebPage.h"

#include <QDesktopServices>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>

namespace vardocle {

void PrepareAdWebView(QWebEngineView& view) {
    QWebEngineSettings* settings = view.page()->settings();
    // A failed load shows our own page instead (see AdUnavailablePage).
    settings->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    settings->setAttribute(QWebEngineSettings::FocusOnNavigationEnabled, false);
    // The window is too small to browse in, and a second web window of the
    // program would have no way back: new windows go to the browser. Not
    // opening the request in a page of ours leaves it unanswered.
    QObject::connect(view.page(), &QWebEnginePage::newWindowRequested, &view,
                     [](QWebEngineNewWindowRequest& request) {
                         const QUrl url = request.requestedUrl();
                         if (url.scheme() == u"http" || url.scheme() == u"https")
                             QDesktopServices::openUrl(url);
                     });
}

QString AdUnavailablePage() {
    return QStringLiteral(
        "<!DOCTYPE html><html lang=\"zh-CN\"><head><meta charset=\"utf-8\">"
        "<style>body{margin:0;padding:40px 16px;font:14px sans-serif;color:#33564a;"
        "background:#f4f8f6;text-align:center}</style></head><body>"
        "<p><b>暂时无法显示内容</b></p>"
        "<p>无法连接到网站，请检查网络连接，下次打开时会再试。</p>"
        "</body></html>");
}

} // namespace vardocle
