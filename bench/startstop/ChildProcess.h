#pragma once
// A program started without a shell, so that the moment it is started is the
// moment it is measured from, and whose end can be waited for to the
// millisecond (through a process file descriptor). Output goes to files; a
// child still running when the object goes is killed.
#include "platform/base/UniqueFd.h"

#include <chrono>
#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

namespace vardocle::test {

class TChildProcess {
public:
    using TClock = std::chrono::steady_clock;

    // Starts `program` (looked up in PATH) with its standard output and error
    // in the given files and nothing on its standard input. Started() is
    // false when it could not be started.
    TChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                  const std::filesystem::path& output, const std::filesystem::path& errors);
    ~TChildProcess();
    TChildProcess(const TChildProcess&) = delete;
    TChildProcess& operator=(const TChildProcess&) = delete;

    bool Started() const { return FPid > 0; }
    // Just before the process was created.
    TClock::time_point StartedAt() const { return FStartedAt; }
    // Readable once the process has ended; -1 when the system has none.
    int ExitFd() const { return FExitFd.Get(); }

    void Signal(int signalNumber) const;
    // Waits for the end until the deadline; true (with ExitCode and
    // EndedAt) when it ended, false when it still runs.
    bool WaitUntil(TClock::time_point deadline);
    bool Ended() const { return FEnded; }
    // The exit status; 128 + the signal's number when a signal ended it.
    int ExitCode() const { return FExitCode; }
    TClock::time_point EndedAt() const { return FEndedAt; }

private:
    bool Reap();

    pid_t FPid = -1;
    UniqueFd FExitFd;
    TClock::time_point FStartedAt;
    TClock::time_point FEndedAt;
    bool FEnded = false;
    int FExitCode = -1;
};

} // namespace vardocle::test
