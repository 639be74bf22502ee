#include "services/AdPageProbe.h"

#include "platform/base/QtChild.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace vardocle {

namespace {

constexpr int kTimeoutMs = 15000;

} // namespace

bool PageAnswered(int httpStatus) {
    return (httpStatus >= 200 && httpStatus < 400) || httpStatus == 405 || httpStatus == 501;
}

TAdPageProbe::TAdPageProbe(QObject* parent) : QObject(parent) {}

void TAdPageProbe::Check(const QUrl& url, std::function<void(bool answered)> done) {
    if (FReply) {
        FReply->disconnect(this);
        FReply->abort();
        FReply->deleteLater();
    }
    if (!FNetwork)
        FNetwork = MakeQtChild<QNetworkAccessManager>(this);
    QNetworkRequest request(url);
    // The site, not a cache, must say that the page is there now.
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setTransferTimeout(kTimeoutMs);
    FReply = FNetwork->head(request);
    QNetworkReply* reply = FReply;
    connect(reply, &QNetworkReply::finished, this, [reply, done = std::move(done)] {
        reply->deleteLater();
        done(PageAnswered(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt()));
    });
}

} // namespace vardocle
