#pragma once
// A sound server of a test's own (PulseAudio with null sinks), and pointing
// this process and the programs it starts at it, so that a test may change
// its defaults or kill it without touching the desktop's.
#include <QProcess>
#include <QProcessEnvironment>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <thread>

namespace vardocle::test {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class PrivateSoundServer {
public:
    // Setup: the server's script after its protocol module (sinks, defaults).
    PrivateSoundServer(const fs::path& folder, const std::string& setup)
        : FRuntime(folder / "runtime") {
        fs::create_directories(FRuntime);
        chmod(FRuntime.c_str(), 0700);
        const fs::path script = folder / "server.pa";
        std::ofstream(script) << "load-module module-native-protocol-unix auth-anonymous=1\n"
                              << setup;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(FRuntime.string()));
        environment.remove("PULSE_SERVER");
        FProcess.setProcessEnvironment(environment);
        FProcess.start(
            "pulseaudio",
            {"-n", "-F", QString::fromStdString(script.string()), "--daemonize=no",
             "--exit-idle-time=-1",
             // A log on a pipe nobody reads would stall the server once full.
             QString::fromStdString("--log-target=file:" + (folder / "pulse.log").string())});
        FProcess.waitForStarted(5000);
        const fs::path socket = FRuntime / "pulse" / "native";
        for (int i = 0; i < 100 && !fs::exists(socket); ++i)
            std::this_thread::sleep_for(50ms);
        FSocket = fs::exists(socket) ? "unix:" + socket.string() : std::string();
    }
    ~PrivateSoundServer() { Kill(); }
    PrivateSoundServer(const PrivateSoundServer&) = delete;
    PrivateSoundServer& operator=(const PrivateSoundServer&) = delete;

    const std::string& Address() const { return FSocket; }
    void Kill() {
        if (FProcess.state() == QProcess::NotRunning)
            return;
        FProcess.kill();
        FProcess.waitForFinished(5000);
    }

private:
    fs::path FRuntime;
    std::string FSocket;
    QProcess FProcess;
};

// Points the sound library's server plugin (and every program started from
// here) at an address for one test.
class ServerAddress {
public:
    explicit ServerAddress(const std::string& address) {
        setenv("PULSE_SERVER", address.c_str(), 1);
    }
    ~ServerAddress() { unsetenv("PULSE_SERVER"); }
    ServerAddress(const ServerAddress&) = delete;
    ServerAddress& operator=(const ServerAddress&) = delete;
};

} // namespace vardocle::test
