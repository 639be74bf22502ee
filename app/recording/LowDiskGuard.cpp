#include "app/recording/LowDiskGuard.h"

#include "platform/base/Text.h"

namespace vardocle {

namespace {

// A recording writes a few MB a second at most: a second's delay is far
// inside the room kept.
constexpr int kCheckIntervalMs = 1000;

} // namespace

TLowDiskGuard::TLowDiskGuard(QObject* parent) : QObject(parent) {
    FTimer.setInterval(kCheckIntervalMs);
    connect(&FTimer, &QTimer::timeout, this, &TLowDiskGuard::Check);
}

void TLowDiskGuard::Start(std::function<std::string()> File) {
    FFile = std::move(File);
    FWatch = {};
    FTimer.start();
    Check();
}

void TLowDiskGuard::Stop() {
    FTimer.stop();
}

void TLowDiskGuard::Check() {
    const std::string file = FFile ? FFile() : std::string();
    const auto room = file.empty() ? std::nullopt : DiskRoomOf(file);
    if (!room)
        return;
    switch (FWatch.Check(*room)) {
    case TLowDiskWatch::TAction::Warn:
        if (OnWarn)
            OnWarn(DecodeLenient(LowDiskWarning(*room, file).Chinese));
        break;
    case TLowDiskWatch::TAction::Stop:
        FTimer.stop();
        if (OnStop)
            OnStop(DecodeLenient(LowDiskStopped(file).Chinese));
        break;
    case TLowDiskWatch::TAction::None:
        break;
    }
}

} // namespace vardocle
