#pragma once
// Asks the web site whether the advertisement page answers, with a plain
// HEAD request: the web engine, hundreds of megabytes in helper processes,
// is only started once there is a page to show, and an offline desktop
// never starts it.
#include <QObject>
#include <QPointer>

#include <functional>

class QNetworkAccessManager;
class QNetworkReply;
class QUrl;

namespace vardocle {

// Whether a reply says the page is there: any answer below 400, or a site
// that does not take HEAD requests (405, 501) and may serve the page all the
// same. No answer at all (no network, refused, timed out) is not.
bool PageAnswered(int httpStatus);

class TAdPageProbe : public QObject {
public:
    explicit TAdPageProbe(QObject* parent);

    // Calls `done` once, with whether the page answered within 15 s. A new
    // check drops one still running (its `done` is not called).
    void Check(const QUrl& url, std::function<void(bool answered)> done);

private:
    QNetworkAccessManager* FNetwork = nullptr;
    QPointer<QNetworkReply> FReply;
};

} // namespace vardocle
