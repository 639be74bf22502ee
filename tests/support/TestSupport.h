#pragma once
// Helpers shared by the tests: temporary folders, running programs, reading
// our AVI files back with ffprobe, and the desktop the integration tests use.
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

namespace vardocle::test {

// A fresh folder, removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    // In memory-backed storage (/dev/shm) when it has this many bytes free,
    // so that big files do not wait for the disk; on disk otherwise.
    explicit TempDir(std::uintmax_t preferMemoryBytes);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return FPath; }
    std::filesystem::path operator/(const std::string& name) const { return FPath / name; }

private:
    void CreateIn(const std::filesystem::path& base);
    std::filesystem::path FPath;
};

struct ProcessResult {
    int ExitCode = -1; // -1 when the program could not start or was killed by the timeout
    bool TimedOut = false;
    QByteArray Out;
    QByteArray Err;
};

// A program the test starts is killed when the test process ends, even when
// the test runner kills the test on its timeout: a program left running would
// hold the single-instance lock and the desktop for every later test.
void EndWithTest(QProcess& process);

// Runs a program to its end (or kills it after the timeout).
ProcessResult RunProcess(const QString& program, const QStringList& arguments,
                         std::chrono::milliseconds timeout = std::chrono::seconds(60),
                         const QStringList& extraEnvironment = {});

// Where the build put the executables (bin/) and the source tree.
std::filesystem::path BinDir();
std::filesystem::path SourceDir();

// The streams of a media file as ffprobe reads them (with counted frames).
QJsonArray ProbeStreams(const std::filesystem::path& file);
// The first stream of the given codec_type ("video", "audio"); empty when none.
QJsonObject ProbeStream(const std::filesystem::path& file, const QString& codecType);

// User and system time another process has used so far, from /proc; 0 when
// it cannot be read.
double ProcessCpuSeconds(long pid);

// True when an X server is reachable through DISPLAY.
bool HaveDisplay();
// True when the run promised a desktop (scripts/test sets VARDOCLE_TEST_DESKTOP=1);
// then a missing X server or sound server is a failure, not a skip.
bool DesktopPromised();

} // namespace vardocle::test

// Skips a test that needs the X server when none is there, unless the run
// promised one (then it fails).
#define VARDOCLE_REQUIRE_DISPLAY()                                                                 \
    do {                                                                                           \
        if (!::vardocle::test::HaveDisplay()) {                                                    \
            if (::vardocle::test::DesktopPromised())                                               \
                FAIL() << "no X server although the run promised one (DISPLAY)";                   \
            GTEST_SKIP() << "no X server (DISPLAY)";                                               \
        }                                                                                          \
    } while (0)

// The same for a test that needs the X server and the sound server.
#define VARDOCLE_REQUIRE_DISPLAY_AND_SOUND()                                                       \
    do {                                                                                           \
        if (!::vardocle::test::HaveDisplay() ||                                                    \
            ::vardocle::test::RunProcess("pactl", {"info"}, std::chrono::seconds(10)).ExitCode !=  \
                0) {                                                                               \
            if (::vardocle::test::DesktopPromised())                                               \
                FAIL() << "no X server or sound server although the run promised them";            \
            GTEST_SKIP() << "needs an X server and a sound server";                                \
        }                                                                                          \
    } while (0)
