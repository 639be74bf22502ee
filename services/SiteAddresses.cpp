#include "services/SiteAddresses.h"

#include <QDesktopServices>

namespace vardocle {

namespace {

QString WithoutTrailingSlashes(QString address) {
    while (address.endsWith(u'/'))
        address.chop(1);
    return address;
}

QString& CurrentBase() {
    static QString base = WithoutTrailingSlashes(QStringLiteral(VARDOCLE_SITE_BASE));
    return base;
}

QString Address(const char* path) {
    return CurrentBase() + QString::fromLatin1(path);
}

} // namespace

QString SiteBase() {
    return CurrentBase();
}

bool SetSiteBase(const QString& base) {
    const QUrl url(base.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() ||
        (url.scheme() != u"http" && url.scheme() != u"https") || url.hasQuery() ||
        url.hasFragment())
        return false;
    CurrentBase() = WithoutTrailingSlashes(url.toString(QUrl::FullyEncoded));
    return true;
}

std::string UpdateDescriptionAddress() {
    return Address("/SiteBack/updateTxt/57.txt").toStdString();
}

QUrl HomePageAddress() {
    return QUrl(Address("/2010112257.html"));
}

QUrl AdvertisementAddress() {
    return QUrl(Address("/ad/2010112257_1.html"));
}

void OpenHomePage() {
    QDesktopServices::openUrl(HomePageAddress());
}

} // namespace vardocle
