#include "app/ExitSignals.h"

#include "platform/base/QtChild.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

namespace vardocle {

namespace {

constexpr std::array<int, 3> kExitSignals = {SIGTERM, SIGHUP, SIGINT};

// The handler may use nothing but this and write().
std::atomic<int> gSignalPipe{-1};

void NoteSignal(int signal) {
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(signal);
    // A full pipe already holds a request; losing this one changes nothing.
    [[maybe_unused]] const ssize_t written = ::write(gSignalPipe.load(), &byte, 1);
    errno = saved;
}

} // namespace

TExitSignals::TExitSignals(QObject* parent) : QObject(parent) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        throw std::runtime_error("pipe2 failed");
    FRead = UniqueFd(ends[0]);
    FWrite = UniqueFd(ends[1]);
    gSignalPipe = FWrite.Get();
    FNotifier = MakeQtChild<QSocketNotifier>(FRead.Get(), QSocketNotifier::Read, this);
    connect(FNotifier, &QSocketNotifier::activated, this, &TExitSignals::ReadSignals);

    struct sigaction action {};
    action.sa_handler = NoteSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted system calls go on: the program ends by its own steps.
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kExitSignals.size(); ++i)
        ::sigaction(kExitSignals[i], &action, &FPrevious[i]);
}

TExitSignals::~TExitSignals() {
    for (std::size_t i = 0; i < kExitSignals.size(); ++i)
        ::sigaction(kExitSignals[i], &FPrevious[i], nullptr);
    gSignalPipe = -1;
}

void TExitSignals::ReadSignals() {
    unsigned char arrived[16];
    for (;;) {
        const ssize_t count = ::read(FRead.Get(), arrived, sizeof arrived);
        if (count <= 0)
            return;
        for (ssize_t i = 0; i < count; ++i)
            emit Requested(arrived[i]);
    }
}

} // namespace vardocle
