#pragma once
// Stands in for the desktop's URL handler: records what the windows ask to open.
#include <QDesktopServices>
#include <QList>
#include <QObject>
#include <QUrl>

namespace vardocle::test {

class UrlRecorder : public QObject {
    Q_OBJECT
public:
    explicit UrlRecorder(const QStringList& schemes) : FSchemes(schemes) {
        for (const QString& scheme : FSchemes)
            QDesktopServices::setUrlHandler(scheme, this, "Open");
    }
    ~UrlRecorder() override {
        for (const QString& scheme : FSchemes)
            QDesktopServices::unsetUrlHandler(scheme);
    }
    UrlRecorder(const UrlRecorder&) = delete;
    UrlRecorder& operator=(const UrlRecorder&) = delete;

    QList<QUrl> Opened;

public slots:
    void Open(const QUrl& url) { Opened.append(url); }

private:
    QStringList FSchemes;
};

} // namespace vardocle::test
