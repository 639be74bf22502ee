#pragma once
// SIGTERM, SIGHUP and SIGINT as a request to end the program, delivered on
// the user-interface thread, so that a recording is finished and the settings
// are saved instead of the process dying mid-file. The signal handler only
// writes a byte into a pipe; the pipe's reading end wakes the event loop.
#include "platform/base/UniqueFd.h"

#include <QObject>

#include <array>
#include <csignal>

class QSocketNotifier;

namespace vardocle {

class TExitSignals : public QObject {
    Q_OBJECT
public:
    // One at a time in a process. Throws when the pipe cannot be made.
    explicit TExitSignals(QObject* parent = nullptr);
    // The handlers that were there before come back.
    ~TExitSignals() override;
    TExitSignals(const TExitSignals&) = delete;
    TExitSignals& operator=(const TExitSignals&) = delete;

signals:
    // Once per signal that arrived.
    void Requested(int signal);

private:
    void ReadSignals();

    UniqueFd FRead;
    UniqueFd FWrite;
    QSocketNotifier* FNotifier = nullptr;
    std::array<struct sigaction, 3> FPrevious{};
};

} // namespace vardocle
