#pragma once
// The advertisement window: a small borderless window in the bottom-right
// corner of the screen that shows the advertisement page. It is created once,
// hidden; every showing from hidden loads the page afresh, and the window
// appears only once the page has loaded: a page that cannot be loaded (an
// offline desktop) shows nothing. The web engine is started when the first
// page is there to be shown. Closing the window only hides it.
#include <QPointer>
#include <QWidget>

class QLabel;
class QWebEngineView;

namespace vardocle {

class TAdPageProbe;
class TImageButton;

class TFrmAD : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 307;
    static constexpr int kHeight = 235;
    // Kept clear above the bottom edge of the screen (a task bar may be there).
    static constexpr int kBottomGap = 30;

    // The pictures come from the skin; the imaging units must be running
    // (TImagingSession). `mainWindow` gets the keyboard focus back whenever a page finished
    // loading while it is visible; it may be null and set later.
    explicit TFrmAD(QWidget* mainWindow);
    ~TFrmAD() override;

    void SetMainWindow(QWidget* mainWindow);

    // Where the window goes on a screen with the given geometry.
    static QPoint BottomRightPlace(const QRect& screen, QSize window);

    // A visible window is brought to the front. A hidden one loads the page
    // and shows once it has loaded; when it cannot be loaded, the window
    // stays hidden. Without focus: the recorder keeps the keyboard.
    void ShowInFront();
    // Between ShowInFront and the page having loaded or failed.
    bool Loading() const { return FLoading; }

    QLabel* ImgTitle = nullptr;
    QLabel* ImgBk = nullptr;
    TImageButton* BtnClose = nullptr;
    // Made when the first page is there to be shown.
    QWebEngineView* Web = nullptr;

signals:
    // A showing ended without a page (the site did not answer, the page
    // failed to load).
    void PageUnavailable();

protected:
    // Sees every event of the application: right button presses inside the
    // page are dropped, so that the page shows no menu.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormShow();
    void MakeWebView();
    void PageLoaded(bool ok);
    void GiveUp();
    void BtnCloseClick();
    void WebDocumentComplete();
    void WebDownloadComplete();
    void FocusMainWindow();
    bool IsInsidePage(QObject* object) const;

    QPointer<QWidget> FMainWindow;
    TAdPageProbe* FProbe = nullptr;
    bool FLoading = false;
};

} // namespace vardocle
