// What the web engine costs an idle program: the real program's memory,
// summed over it and every process it started, once on an offline desktop
// (the advertisement page does not answer, so the engine is never started)
// and once with the page served (the engine runs its helper processes).
// Both in the same run; the figures are printed as the ratio of the second
// to the first. The offline run must start no engine process at all.
#include "tests/support/LocalHttpServer.h"
#include "tests/support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QThread>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>

using namespace vardocle;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

struct TMemory {
    double PssMb = 0;
    double RssMb = 0;
    int Processes = 0;
    int EngineProcesses = 0;
};

// Parent of every process on the machine.
std::map<int, int> Parents() {
    std::map<int, int> parents;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        std::getline(stat, line);
        // "pid (comm) state ppid ...": the name may hold spaces.
        const auto close = line.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream rest(line.substr(close + 2));
        char state = 0;
        int parent = 0;
        rest >> state >> parent;
        parents[std::stoi(name)] = parent;
    }
    return parents;
}

double SmapsKb(int pid, const std::string& key) {
    std::ifstream smaps("/proc/" + std::to_string(pid) + "/smaps_rollup");
    for (std::string line; std::getline(smaps, line);)
        if (line.rfind(key + ":", 0) == 0)
            return std::stod(line.substr(key.size() + 1));
    return 0;
}

TMemory MemoryOfTree(int root) {
    const auto parents = Parents();
    TMemory memory;
    for (const auto& [pid, parent] : parents) {
        int up = pid;
        while (up > 1 && up != root)
            up = parents.count(up) ? parents.at(up) : 0;
        if (up != root)
            continue;
        ++memory.Processes;
        std::ifstream command("/proc/" + std::to_string(pid) + "/comm");
        std::string name;
        std::getline(command, name);
        memory.EngineProcesses += name.find("QtWebEngine") != std::string::npos ? 1 : 0;
        memory.PssMb += SmapsKb(pid, "Pss") / 1024;
        memory.RssMb += SmapsKb(pid, "Rss") / 1024;
    }
    return memory;
}

void Wait(std::chrono::milliseconds span) {
    const auto end = std::chrono::steady_clock::now() + span;
    while (std::chrono::steady_clock::now() < end)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

// Starts a copy of the program against `site`, lets it idle past the
// advertisement's time and measures it.
TMemory IdleProgram(const fs::path& folder, const QString& site) {
    fs::copy(test::BinDir(), folder, fs::copy_options::recursive);
    fs::remove(folder / "Setting.ini");
    fs::remove(folder / "History.his");
    QProcess program;
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QString::fromStdString((folder / "vardocle").string()), {"--site", site});
    if (!program.waitForStarted(10000))
        return {};
    // The advertisement comes 5 s after start; then the page loads and the
    // program idles.
    Wait(12s);
    const TMemory memory = MemoryOfTree(static_cast<int>(program.processId()));
    program.terminate();
    program.waitForFinished(20000);
    return memory;
}

} // namespace

TEST(WebEngineMemoryBench, IdleMemoryWithTheEngineAgainstTheProgramWithout) {
    VARDOCLE_REQUIRE_DISPLAY();
    const test::TempDir folder;
    const TMemory offline = IdleProgram(folder / "offline", "http://127.0.0.1:9");
    test::LocalHttpServer site;
    test::HttpResponse page;
    page.ContentType = "text/html; charset=utf-8";
    page.Body = "<html><body style='margin:0'>广告</body></html>";
    site.SetResponse("/ad/2010112257_1.html", page);
    const TMemory online = IdleProgram(folder / "online", site.BaseUrl());
    ASSERT_GT(offline.Processes, 0);
    ASSERT_GT(online.Processes, 0);
    EXPECT_EQ(offline.EngineProcesses, 0) << "the engine was started without a page to show";
    EXPECT_GT(online.EngineProcesses, 0) << "the page was shown without the engine?";
    EXPECT_EQ(site.RequestCount("/ad/2010112257_1.html"), 1);
    std::printf("idle, without the web engine: PSS %.1f MB, RSS %.1f MB, %d processes\n",
                offline.PssMb, offline.RssMb, offline.Processes);
    std::printf("idle, with the web engine:    PSS %.1f MB, RSS %.1f MB, %d processes\n",
                online.PssMb, online.RssMb, online.Processes);
    std::printf("with / without the web engine: PSS x%.2f, RSS x%.2f\n",
                online.PssMb / offline.PssMb, online.RssMb / offline.RssMb);
}
