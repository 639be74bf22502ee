#include "services/uFrmAD.h"

#include "assets/Assets.h"
#include "platform/base/QtChild.h"
#include "platform/shell/OffTaskbar.h"
#include "services/AdPageProbe.h"
#include "services/AdWebPage.h"
#include "services/FormLook.h"
#include "services/SiteAddresses.h"
#include "skin/ColorKeyMask.h"
#include "skin/Graphics.h"
#include "skin/ImageButton.h"
#include "skin/StoredPictures.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

namespace vardocle {

namespace {

// The window's colour, which is also its transparent key.
const QColor kBackground(54, 99, 81);

QLabel* MakeStretchedImage(QWidget* parent, const QPixmap& picture, const QRect& place) {
    auto* image = MakeQtChild<QLabel>(parent);
    image->setGeometry(place);
    image->setScaledContents(true);
    image->setPixmap(picture);
    return image;
}

} // namespace

TFrmAD::TFrmAD(QWidget* mainWindow)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), FMainWindow(mainWindow) {
    setObjectName(QStringLiteral("FrmAD"));
    setWindowTitle(QStringLiteral("Vardocle"));
    setFixedSize(kWidth, kHeight);
    setFont(FormFont());
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, kBackground);
    setPalette(palette);
    setAutoFillBackground(true);

    InitAssets();
    const QImage title = LoadPicture(QStringLiteral(":/skin/ad/Title.pic"));
    const QImage body = LoadPicture(QStringLiteral(":/skin/ad/Body.pic"));
    ImgTitle = MakeStretchedImage(this, QPixmap::fromImage(title), QRect(0, 0, kWidth, 24));
    ImgBk = MakeStretchedImage(this, QPixmap::fromImage(body), QRect(0, 24, kWidth, kHeight - 24));
    // The window as its pictures paint it; pixels of exactly the key colour
    // are left out of its shape.
    setMask(ShapeOfPictures(size(), kBackground,
                            {{ImgTitle->geometry(), title}, {ImgBk->geometry(), body}}));

    BtnClose = MakeQtChild<TImageButton>(this);
    BtnClose->setGeometry(276, 2, 25, 20);
    TPicture closeStrip;
    closeStrip.LoadFromFile(QStringLiteral(":/skin/ad/BtnClose.pic"));
    BtnClose->SetImageBorder(closeStrip);
    BtnClose->OnClick = [this](QObject*) { BtnCloseClick(); };

    // FormCreate: the corner of the primary screen, clear of a task bar.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(BottomRightPlace(screen->geometry(), size()));
    FocusMainWindow();
    qApp->installEventFilter(this);
    // Appearing must not take the keyboard from the recorder.
    setAttribute(Qt::WA_ShowWithoutActivating);
    KeepOffTaskbar(*this);
    FProbe = MakeQtChild<TAdPageProbe>(this);
}

void TFrmAD::MakeWebView() {
    // Every showing must reach the site, whatever the page's cache headers
    // say: the advertisement changes and is counted per showing.
    QWebEngineProfile::defaultProfile()->setHttpCacheType(QWebEngineProfile::NoCache);
    Web = MakeQtChild<QWebEngineView>(this);
    Web->setGeometry(5, 24, 298, 206);
    Web->setContextMenuPolicy(Qt::NoContextMenu);
    PrepareAdWebView(*Web);
    connect(Web, &QWebEngineView::loadFinished, this, &TFrmAD::PageLoaded);
}

TFrmAD::~TFrmAD() {
    qApp->removeEventFilter(this);
}

void TFrmAD::SetMainWindow(QWidget* mainWindow) {
    FMainWindow = mainWindow;
}

QPoint TFrmAD::BottomRightPlace(const QRect& screen, QSize window) {
    return {screen.left() + screen.width() - window.width(),
            screen.top() + screen.height() - window.height() - kBottomGap};
}

void TFrmAD::ShowInFront() {
    if (isVisible()) {
        raise();
        return;
    }
    if (FLoading)
        return;
    FLoading = true;
    FormShow();
}

void TFrmAD::FormShow() {
    const QUrl address = AdvertisementAddress();
    if (Web) {
        Web->load(address);
        return;
    }
    // Until there is a page to show, the site is asked without the engine.
    FProbe->Check(address, [this, address](bool answered) {
        if (!answered)
            return GiveUp();
        MakeWebView();
        Web->load(address);
    });
}

void TFrmAD::PageLoaded(bool ok) {
    if (!ok) {
        // The engine's own error page is off; what is left is empty. A
        // showing waiting for it ends; a visible window has nothing to show.
        if (FLoading)
            GiveUp();
        else
            hide();
        return;
    }
    WebDocumentComplete();
    if (FLoading) {
        FLoading = false;
        show();
        raise();
    }
    WebDownloadComplete();
}

void TFrmAD::GiveUp() {
    FLoading = false;
    emit PageUnavailable();
}

void TFrmAD::BtnCloseClick() {
    close();
}

void TFrmAD::WebDocumentComplete() {
    // Without the body's border the page sits flush in the window. A page
    // without a body (or none at all) is left as it is.
    Web->page()->runJavaScript(
        QStringLiteral("try { if (document.body) document.body.style.borderStyle = 'none'; } "
                       "catch (e) {}"));
}

void TFrmAD::WebDownloadComplete() {
    // Loading the advertisement must not take the keyboard from the recorder;
    // when the user has meanwhile gone to another window, that one keeps it.
    if (QApplication::activeWindow() == this)
        FocusMainWindow();
}

void TFrmAD::FocusMainWindow() {
    if (FMainWindow && FMainWindow->isVisible()) {
        FMainWindow->activateWindow();
        FMainWindow->setFocus();
    }
}

bool TFrmAD::IsInsidePage(QObject* object) const {
    if (!Web || !object->isWidgetType())
        return false;
    auto* widget = static_cast<QWidget*>(object);
    return widget == Web || Web->isAncestorOf(widget);
}

bool TFrmAD::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::RightButton && IsInsidePage(watched))
            return true;
        break;
    case QEvent::ContextMenu:
        if (IsInsidePage(watched))
            return true;
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace vardocle
