#include "tools/record/SignalNotifier.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace vardocle {

namespace {

int gPipe[2] = {-1, -1};

void WriteSignal(int number) {
    const unsigned char byte = static_cast<unsigned char>(number);
    const ssize_t ignored = write(gPipe[1], &byte, 1);
    (void)ignored;
}

} // namespace

TSignalNotifier::TSignalNotifier(std::initializer_list<int> signalNumbers,
                                 std::function<void(int)> handler, QObject* parent)
    : QObject(parent), FHandler(std::move(handler)) {
    if (gPipe[0] < 0 && pipe2(gPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    FNotifier = std::make_unique<QSocketNotifier>(gPipe[0], QSocketNotifier::Read);
    connect(FNotifier.get(), &QSocketNotifier::activated, this, [this] {
        unsigned char byte = 0;
        while (read(gPipe[0], &byte, 1) == 1)
            FHandler(byte);
    });
    for (const int number : signalNumbers) {
        struct sigaction action {};
        action.sa_handler = WriteSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(number, &action, nullptr);
    }
}

TSignalNotifier::~TSignalNotifier() = default;

} // namespace vardocle
