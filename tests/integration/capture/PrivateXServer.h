#pragma once
// An X server of the test's own (Xvfb on a display it picks itself), for
// setups the shared desktop must not be bent to: several monitors, missing
// extensions.
#include <string>
#include <sys/types.h>
#include <vector>

namespace vardocle::test {

class TPrivateXServer {
public:
    explicit TPrivateXServer(const std::vector<std::string>& extraArguments = {});
    ~TPrivateXServer();
    TPrivateXServer(const TPrivateXServer&) = delete;
    TPrivateXServer& operator=(const TPrivateXServer&) = delete;

    // ":N" once the server accepts connections; empty when it did not start.
    const std::string& Name() const { return FName; }
    // The server's process, for measuring its processor time.
    pid_t Pid() const { return FPid; }

private:
    pid_t FPid = -1;
    std::string FName;
};

} // namespace vardocle::test
