#pragma once
// One background fetch of the update description. It never blocks the caller:
// the answer is handled when it arrives, and a site that does not answer in
// time is given up.
#include "update/UpdateExport.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <chrono>

class QNetworkAccessManager;
class QNetworkReply;

namespace vardocle {

enum class TUpdateOutcome {
    NewerVersion,    // the dialog was shown
    NotNewer,        // same or older version
    NotADescription, // the answer was no description (or a malformed one)
    TooLarge,        // the answer went past the size limit and was cut off
    Failed,          // no connection, HTTP error, bad address
    TimedOut,        // no complete answer within the time-out
};

inline constexpr std::chrono::milliseconds kUpdateTimeout{15000};

class VARDOCLE_UPDATE_API TUpdateCheck : public QObject {
    Q_OBJECT
public:
    // Starts the fetch at once. `window` owns the dialog shown for a newer
    // version (it may be null). The check deletes itself after Finished.
    TUpdateCheck(QWidget* window, const QUrl& url, std::chrono::milliseconds timeout,
                 QObject* parent);
    ~TUpdateCheck() override;

signals:
    void Finished(vardocle::TUpdateOutcome outcome);

private:
    void ReplyReadyRead();
    void ReplyFinished();
    void TimeOut();
    void Finish(TUpdateOutcome outcome);

    QPointer<QWidget> FWindow;
    QNetworkAccessManager* FNetwork = nullptr;
    QNetworkReply* FReply = nullptr;
    QTimer FTimer;
    QByteArray FBody;
    bool FDone = false;
};

} // namespace vardocle
