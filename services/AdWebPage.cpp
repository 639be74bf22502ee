#include "services/AdWebPage.h"

#include <QDesktopServices>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>

namespace vardocle {

void PrepareAdWebView(QWebEngineView& view) {
    QWebEngineSettings* settings = view.page()->settings();
    // A page that failed to load is not shown at all: no error page.
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

} // namespace vardocle
