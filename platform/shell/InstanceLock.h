#pragma once
// One copy of the program per desktop: an advisory lock on a file in the
// user's runtime folder, named after the lock name and the X display. The
// kernel drops the lock when the process ends, however it ends, so a crashed
// copy never blocks the next start.
#include "platform/base/UniqueFd.h"

#include <string>

namespace vardocle {

class TInstanceLock {
public:
    // Tries to take the lock called `name` for `display` (e.g. ":0").
    TInstanceLock(const std::string& name, const std::string& display);
    ~TInstanceLock();
    TInstanceLock(const TInstanceLock&) = delete;
    TInstanceLock& operator=(const TInstanceLock&) = delete;

    // True when another process holds the lock (another copy runs).
    bool AlreadyRunning() const { return FAlreadyRunning; }
    const std::string& FilePath() const { return FFilePath; }

    // The folder the lock files live in: $XDG_RUNTIME_DIR, else the temp folder.
    static std::string RuntimeFolder();

private:
    UniqueFd FDescriptor;
    bool FAlreadyRunning = false;
    std::string FFilePath;
};

} // namespace vardocle
