#pragma once
// The advertisement window: a small borderless window in the bottom-right
// corner of the screen that shows the advertisement page. It is created once,
// hidden; every showing from hidden loads the page afresh, and closing it
// only hides it.
#include <QPointer>
#include <QWidget>

class QLabel;
class QWebEngineView;

namespace vardocle {

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

    // Shows the window and brings it to the front. The page loads only when
    // the window was hidden.
    void ShowInFront();

    QLabel* ImgTitle = nullptr;
    QLabel* ImgBk = nullptr;
    TImageButton* BtnClose = nullptr;
    QWebEngineView* Web = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    // Sees every event of the application: right button presses inside the
    // page are dropped, so that the page shows no menu.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormShow();
    void BtnCloseClick();
    void WebDocumentComplete();
    void WebDownloadComplete();
    void FocusMainWindow();
    bool IsInsidePage(QObject* object) const;

    QPointer<QWidget> FMainWindow;
};

} // namespace vardocle
