#pragma once
// How the advertisement's web view behaves beyond showing the page: the
// engine's own (English) error page is never made, a link that asks for a
// new window opens in the user's browser, and a page that loads never takes
// the keyboard focus by itself.
class QWebEngineView;

namespace vardocle {

// Settings and connections for the view; call once after making it.
void PrepareAdWebView(QWebEngineView& view);

} // namespace vardocle
