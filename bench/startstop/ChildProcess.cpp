#include "bench/startstop/ChildProcess.h"

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace vardocle::test {

namespace {

// RAII for the spawn's list of file actions.
class TFileActions {
public:
    TFileActions() { posix_spawn_file_actions_init(&FActions); }
    ~TFileActions() { posix_spawn_file_actions_destroy(&FActions); }
    TFileActions(const TFileActions&) = delete;
    TFileActions& operator=(const TFileActions&) = delete;
    posix_spawn_file_actions_t* Get() { return &FActions; }

private:
    posix_spawn_file_actions_t FActions;
};

} // namespace

TChildProcess::TChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                             const std::filesystem::path& output,
                             const std::filesystem::path& errors) {
    std::vector<std::string> words{program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    argv.reserve(words.size() + 1);
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    TFileActions actions;
    posix_spawn_file_actions_addopen(actions.Get(), STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(actions.Get(), STDOUT_FILENO, output.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(actions.Get(), STDERR_FILENO, errors.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    FStartedAt = TClock::now();
    pid_t pid = -1;
    if (posix_spawnp(&pid, program.c_str(), actions.Get(), nullptr, argv.data(), environ) != 0)
        return;
    FPid = pid;
    FExitFd = UniqueFd(static_cast<int>(syscall(SYS_pidfd_open, pid, 0)));
}

TChildProcess::~TChildProcess() {
    if (Started() && !FEnded) {
        kill(FPid, SIGKILL);
        WaitUntil(TClock::now() + std::chrono::seconds(10));
    }
}

void TChildProcess::Signal(int signalNumber) const {
    if (Started() && !FEnded)
        kill(FPid, signalNumber);
}

bool TChildProcess::Reap() {
    int status = 0;
    if (waitpid(FPid, &status, WNOHANG) != FPid)
        return false;
    FEndedAt = TClock::now();
    FEnded = true;
    FExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return true;
}

bool TChildProcess::WaitUntil(TClock::time_point deadline) {
    if (!Started() || FEnded)
        return FEnded;
    while (!Reap()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now());
        if (left.count() <= 0)
            return false;
        if (FExitFd) {
            pollfd exit{FExitFd.Get(), POLLIN, 0};
            poll(&exit, 1, static_cast<int>(left.count()) + 1);
        } else {
            // Without a process descriptor, a short sleep keeps the error small.
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    return true;
}

} // namespace vardocle::test
