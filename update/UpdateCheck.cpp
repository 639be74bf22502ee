#include "update/UpdateCheck.h"

#include "platform/base/QtChild.h"
#include "update/UpdateDescription.h"
#include "update/Version.h"
#include "update/uFrmUpdate.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace vardocle {

TUpdateCheck::TUpdateCheck(QWidget* window, const QUrl& url, std::chrono::milliseconds timeout,
                           QObject* parent)
    : QObject(parent), FWindow(window), FNetwork(MakeQtChild<QNetworkAccessManager>(this)) {
    FTimer.setSingleShot(true);
    connect(&FTimer, &QTimer::timeout, this, &TUpdateCheck::TimeOut);
    FTimer.start(timeout);

    if (!url.isValid() || (url.scheme() != u"http" && url.scheme() != u"https")) {
        // Reported from the event loop, like every other outcome, so that the
        // caller has returned before anything happens.
        QMetaObject::invokeMethod(
            this, [this] { Finish(TUpdateOutcome::Failed); }, Qt::QueuedConnection);
        return;
    }
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QStringLiteral("Vardocle/%1").arg(QString::fromLatin1(kProgramVersion)));
    FReply = FNetwork->get(request);
    connect(FReply, &QNetworkReply::readyRead, this, &TUpdateCheck::ReplyReadyRead);
    connect(FReply, &QNetworkReply::finished, this, &TUpdateCheck::ReplyFinished);
}

TUpdateCheck::~TUpdateCheck() {
    if (FReply) {
        FReply->disconnect(this);
        FReply->abort();
    }
}

void TUpdateCheck::ReplyReadyRead() {
    if (FDone)
        return;
    // Read at most one byte past the limit: enough to know it was passed.
    const qint64 room = kMaxDescriptionSize + 1 - FBody.size();
    FBody += FReply->read(room);
    if (FBody.size() > kMaxDescriptionSize)
        Finish(TUpdateOutcome::TooLarge);
}

void TUpdateCheck::ReplyFinished() {
    if (FDone)
        return;
    if (FReply->error() != QNetworkReply::NoError) {
        Finish(TUpdateOutcome::Failed);
        return;
    }
    ReplyReadyRead();
    if (FDone)
        return;
    const auto description = ParseUpdateDescription(FBody);
    if (!description) {
        Finish(TUpdateOutcome::NotADescription);
        return;
    }
    const auto order = CompareVersions(description->Version, QString::fromLatin1(kProgramVersion));
    if (!order || *order <= 0) {
        Finish(TUpdateOutcome::NotNewer);
        return;
    }
    auto* dialog = MakeQtChild<TFrmUpdate>(*description, FWindow.data());
    dialog->show();
    dialog->raise();
    Finish(TUpdateOutcome::NewerVersion);
}

void TUpdateCheck::TimeOut() {
    if (!FDone)
        Finish(TUpdateOutcome::TimedOut);
}

void TUpdateCheck::Finish(TUpdateOutcome outcome) {
    FDone = true;
    FTimer.stop();
    if (FReply) {
        FReply->disconnect(this);
        FReply->abort();
        FReply->deleteLater();
        FReply = nullptr;
    }
    emit Finished(outcome);
    deleteLater();
}

} // namespace vardocle
