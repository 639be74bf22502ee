#include "tests/support/TestSupport.h"

#include <QJsonDocument>
#include <QProcess>
#include <QProcessEnvironment>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/prctl.h>
#include <unistd.h>

namespace vardocle::test {

TempDir::TempDir() {
    CreateIn(std::filesystem::temp_directory_path());
}

TempDir::TempDir(std::uintmax_t preferMemoryBytes) {
    std::error_code unknown;
    const std::filesystem::path memory("/dev/shm");
    const bool roomy = std::filesystem::space(memory, unknown).available >= preferMemoryBytes;
    CreateIn(roomy && !unknown ? memory : std::filesystem::temp_directory_path());
}

void TempDir::CreateIn(const std::filesystem::path& base) {
    std::random_device random;
    for (;;) {
        auto candidate = base / ("vardocle-test-" + std::to_string(random()));
        if (std::filesystem::create_directory(candidate)) {
            FPath = candidate;
            break;
        }
    }
}

TempDir::~TempDir() {
    std::error_code ignored;
    // Tests may leave read-only files or folders behind on purpose.
    std::filesystem::permissions(FPath, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    for (auto it = std::filesystem::recursive_directory_iterator(FPath, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
    }
    std::filesystem::remove_all(FPath, ignored);
}

void EndWithTest(QProcess& process) {
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

ProcessResult RunProcess(const QString& program, const QStringList& arguments,
                         std::chrono::milliseconds timeout, const QStringList& extraEnvironment) {
    QProcess process;
    auto environment = QProcessEnvironment::systemEnvironment();
    for (const QString& entry : extraEnvironment) {
        const auto eq = entry.indexOf('=');
        environment.insert(entry.left(eq), entry.mid(eq + 1));
    }
    process.setProcessEnvironment(environment);
    EndWithTest(process);
    process.start(program, arguments);
    ProcessResult result;
    if (!process.waitForStarted(10000))
        return result;
    if (!process.waitForFinished(static_cast<int>(timeout.count()))) {
        result.TimedOut = true;
        process.kill();
        process.waitForFinished(5000);
    }
    result.Out = process.readAllStandardOutput();
    result.Err = process.readAllStandardError();
    if (!result.TimedOut && process.exitStatus() == QProcess::NormalExit)
        result.ExitCode = process.exitCode();
    return result;
}

static std::filesystem::path PathFromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::filesystem::path(value) : std::filesystem::path();
}

std::filesystem::path BinDir() {
    return PathFromEnvironment("VARDOCLE_BIN_DIR");
}
std::filesystem::path SourceDir() {
    return PathFromEnvironment("VARDOCLE_SOURCE_DIR");
}

QJsonArray ProbeStreams(const std::filesystem::path& file) {
    const auto result = RunProcess("ffprobe",
                                   {"-v", "error", "-count_frames", "-show_streams", "-of", "json",
                                    QString::fromStdString(file.string())},
                                   std::chrono::minutes(5));
    if (result.ExitCode != 0)
        return {};
    return QJsonDocument::fromJson(result.Out).object().value("streams").toArray();
}

QJsonObject ProbeStream(const std::filesystem::path& file, const QString& codecType) {
    for (const auto& stream : ProbeStreams(file)) {
        if (stream.toObject().value("codec_type").toString() == codecType)
            return stream.toObject();
    }
    return {};
}

bool HaveDisplay() {
    const char* display = std::getenv("DISPLAY");
    return display && *display;
}

bool DesktopPromised() {
    const char* promised = std::getenv("VARDOCLE_TEST_DESKTOP");
    return promised && std::string(promised) == "1";
}

double ProcessCpuSeconds(long pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    // Fields after the command name (which may hold spaces) start past ')'.
    const auto close = line.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream rest(line.substr(close + 2));
    std::string field;
    double ticks = 0;
    for (int index = 3; rest >> field && index <= 15; ++index)
        if (index == 14 || index == 15)
            ticks += std::stod(field);
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

} // namespace vardocle::test
