#pragma once
// Waits for a recorder's first frame to reach its file. The folder is watched
// with inotify, so the moment is the one at which the write landed, not the
// next turn of a polling loop; each write to the file is read back to see
// whether a frame with a picture is in it yet.
#include "bench/startstop/ChildProcess.h"
#include "platform/base/UniqueFd.h"

#include <filesystem>
#include <optional>

namespace vardocle::test {

class TFirstFrameWatch {
public:
    // Watches `file`'s folder; start it before the recorder so that no write
    // is missed. Watching() is false when inotify is not to be had.
    explicit TFirstFrameWatch(const std::filesystem::path& file);
    bool Watching() const { return FWatch >= 0; }

    // When the first frame was in the file; nothing when the recorder ended
    // or the deadline passed before.
    std::optional<TChildProcess::TClock::time_point>
    Wait(const TChildProcess& recorder, TChildProcess::TClock::time_point deadline);

private:
    bool Drain();

    std::filesystem::path FFile;
    UniqueFd FNotify;
    int FWatch = -1;
};

} // namespace vardocle::test
