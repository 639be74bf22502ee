#pragma once
// Watches the room left on the disk of the file being recorded: the user is
// told once when it runs low, and the recording is ended, as Stop ends it,
// while there is still room to complete the file and merge its sound.
#include "recording/DiskSpace.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <string>

namespace vardocle {

class TLowDiskGuard : public QObject {
public:
    explicit TLowDiskGuard(QObject* parent);

    // Starts watching; File names the file being written (system encoding).
    void Start(std::function<std::string()> File);
    void Stop();

    // The texts to show, in Chinese.
    std::function<void(const QString& Text)> OnWarn;
    // The recording must end now; the text says why and where it is saved.
    std::function<void(const QString& Text)> OnStop;

private:
    void Check();

    QTimer FTimer;
    TLowDiskWatch FWatch;
    std::function<std::string()> FFile;
};

} // namespace vardocle
