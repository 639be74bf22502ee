#include "update/uFrmUpdate.h"

#include "platform/base/QtChild.h"
#include "update/Version.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace vardocle {

namespace {

// The host and a port other than the scheme's; never a user name or password
// that the address may carry.
QString DownloadHost(const QUrl& url) {
    return url.port() == -1 ? url.host() : QStringLiteral("%1:%2").arg(url.host()).arg(url.port());
}

} // namespace

TFrmUpdate::TFrmUpdate(const TUpdateDescription& description, QWidget* parent)
    : QDialog(parent), FDownloadUrl(description.DownloadUrl) {
    setObjectName(QStringLiteral("FrmUpdate"));
    setWindowTitle(QStringLiteral("软件更新"));
    setAttribute(Qt::WA_DeleteOnClose);

    LblVersion = MakeQtChild<QLabel>(this);
    // The texts come from the network: never let them be read as markup.
    LblVersion->setTextFormat(Qt::PlainText);
    // The user decides knowing where the download comes from, which need not
    // be the site that told of the new version.
    LblVersion->setText(
        QStringLiteral("发现新版本: %1\n当前版本: %2\n下载网站: %3\n\n是否前往下载页面获取新版本?")
            .arg(description.Version, QString::fromLatin1(kProgramVersion),
                 DownloadHost(FDownloadUrl)));

    MemoNotes = MakeQtChild<QPlainTextEdit>(this);
    MemoNotes->setReadOnly(true);
    MemoNotes->setPlainText(description.Notes.isEmpty() ? QStringLiteral("(无更新说明)")
                                                        : description.Notes);

    BtnDownload = MakeQtChild<QPushButton>(QStringLiteral("前往下载(&D)"), this);
    BtnDownload->setDefault(true);
    BtnLater = MakeQtChild<QPushButton>(QStringLiteral("以后再说(&L)"), this);
    connect(BtnDownload, &QPushButton::clicked, this, &TFrmUpdate::BtnDownloadClick);
    connect(BtnLater, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = MakeQtChild<QHBoxLayout>(); // handed to the dialog's layout below
    buttons->addStretch();
    buttons->addWidget(BtnDownload);
    buttons->addWidget(BtnLater);
    auto* layout = MakeQtChild<QVBoxLayout>(this);
    layout->addWidget(LblVersion);
    layout->addWidget(MakeQtChild<QLabel>(QStringLiteral("更新说明:"), this));
    layout->addWidget(MemoNotes);
    layout->addLayout(buttons);
    resize(380, 300);
}

void TFrmUpdate::BtnDownloadClick() {
    QDesktopServices::openUrl(FDownloadUrl);
    accept();
}

} // namespace vardocle
