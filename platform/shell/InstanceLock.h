#pragma once
// One copy of the program per user and desktop: an advisory lock on a file in
// the user's private runtime folder, named after the lock name, the user and
// the X display (however the display is spelt). The kernel drops the lock
// when the process ends, however it ends, so a crashed copy never blocks the
// next start.
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
    // True when this process holds the lock.
    bool Held() const { return FHeld; }
    // Empty when there is no private folder for the lock.
    const std::string& FilePath() const { return FFilePath; }

private:
    UniqueFd FDescriptor;
    bool FAlreadyRunning = false;
    bool FHeld = false;
    std::string FFilePath;
};

} // namespace vardocle
