#include "tests/integration/capture/PrivateXServer.h"

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vardocle::test {

TPrivateXServer::TPrivateXServer(const std::vector<std::string>& extraArguments) {
    int fds[2];
    if (pipe(fds) != 0)
        return;
    std::vector<std::string> arguments{"Xvfb",      "-displayfd", std::to_string(fds[1]),
                                       "-screen",   "0",          "1920x1080x24",
                                       "-nolisten", "tcp",        "-noreset"};
    arguments.insert(arguments.end(), extraArguments.begin(), extraArguments.end());
    FPid = fork();
    if (FPid == 0) {
        close(fds[0]);
        const int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, STDERR_FILENO);
        std::vector<char*> argv;
        argv.reserve(arguments.size() + 1);
        for (auto& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        execvp("Xvfb", argv.data());
        _exit(127);
    }
    close(fds[1]);
    // The server writes its display number when it accepts connections.
    std::string number;
    pollfd waitFor{fds[0], POLLIN, 0};
    while (FPid > 0 && poll(&waitFor, 1, 15000) > 0) {
        char c = 0;
        if (read(fds[0], &c, 1) != 1 || c == '\n')
            break;
        number.push_back(c);
    }
    close(fds[0]);
    if (!number.empty())
        FName = ":" + number;
}

TPrivateXServer::~TPrivateXServer() {
    if (FPid > 0) {
        kill(FPid, SIGTERM);
        waitpid(FPid, nullptr, 0);
    }
}

} // namespace vardocle::test
