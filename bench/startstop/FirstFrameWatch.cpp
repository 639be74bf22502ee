#include "bench/startstop/FirstFrameWatch.h"

#include "bench/startstop/AviProgress.h"

#include <array>
#include <cstring>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace vardocle::test {

TFirstFrameWatch::TFirstFrameWatch(const std::filesystem::path& file)
    : FFile(file), FNotify(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    if (FNotify)
        FWatch = inotify_add_watch(FNotify.Get(), file.parent_path().c_str(),
                                   IN_MODIFY | IN_CLOSE_WRITE | IN_CREATE);
}

// Reads the queued events; true when one of them was about the file.
bool TFirstFrameWatch::Drain() {
    alignas(inotify_event) std::array<char, std::size_t{16} * 1024> buffer;
    const std::string name = FFile.filename().string();
    bool touched = false;
    for (;;) {
        const ssize_t length = read(FNotify.Get(), buffer.data(), buffer.size());
        if (length <= 0)
            return touched;
        for (ssize_t at = 0; at < length;) {
            inotify_event event;
            std::memcpy(&event, buffer.data() + at, sizeof event);
            if (event.len > 0 && name == buffer.data() + at + sizeof event)
                touched = true;
            at += static_cast<ssize_t>(sizeof event + event.len);
        }
    }
}

std::optional<TChildProcess::TClock::time_point>
TFirstFrameWatch::Wait(const TChildProcess& recorder, TChildProcess::TClock::time_point deadline) {
    using namespace std::chrono;
    if (!Watching())
        return std::nullopt;
    for (;;) {
        if (Drain() && HasFirstFrame(ReadWholeFile(FFile)))
            return TChildProcess::TClock::now();
        const auto left = duration_cast<milliseconds>(deadline - TChildProcess::TClock::now());
        if (left.count() <= 0)
            return std::nullopt;
        // A recorder that ended writes nothing more (without a process
        // descriptor, the deadline ends the wait instead).
        std::array<pollfd, 2> waits{{{FNotify.Get(), POLLIN, 0}, {recorder.ExitFd(), POLLIN, 0}}};
        const nfds_t count = recorder.ExitFd() >= 0 ? 2 : 1;
        poll(waits.data(), count, static_cast<int>(left.count()) + 1);
        if (count == 2 && (waits[1].revents & POLLIN) && !(waits[0].revents & POLLIN))
            return std::nullopt;
    }
}

} // namespace vardocle::test
