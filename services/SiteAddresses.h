#pragma once
// The three addresses on the program's web site. They share one base address,
// fixed at build time and replaceable at run time (command-line option
// --site), so that tests and other deployments can point the program
// elsewhere.
#include <QString>
#include <QUrl>

#include <string>

namespace vardocle {

// The base address in use, without a trailing slash.
QString SiteBase();

// Replaces the base address; false (and the base unchanged) unless `base` is
// an absolute http:// or https:// address with a host.
bool SetSiteBase(const QString& base);

// The update description handed to the update library (8-bit text).
std::string UpdateDescriptionAddress();
// The home page opened from the tray menu.
QUrl HomePageAddress();
// The page the advertisement window shows.
QUrl AdvertisementAddress();

// Opens the home page in the user's default browser. The result is not
// checked: a desktop without a browser simply shows nothing.
void OpenHomePage();

} // namespace vardocle
