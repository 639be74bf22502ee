#pragma once
// A file system of its own for a test: a size-limited tmpfs mounted on a
// fresh folder and unmounted (and the folder removed) when the object goes,
// so that a test can fill a disk without touching anyone else's. Mounting
// needs root; where it is not allowed the test is skipped with the reason.
#include "tests/support/TestSupport.h"

#include <QProcess>

#include <cstdint>
#include <filesystem>
#include <string>

namespace vardocle::test {

class TSmallDisk {
public:
    explicit TSmallDisk(int megabytes);
    ~TSmallDisk();
    TSmallDisk(const TSmallDisk&) = delete;
    TSmallDisk& operator=(const TSmallDisk&) = delete;

    bool Mounted() const { return FMounted; }
    // Why it could not be mounted.
    const std::string& Problem() const { return FProblem; }
    const std::filesystem::path& Path() const { return FFolder.Path(); }
    std::filesystem::path operator/(const std::string& name) const { return FFolder / name; }
    // Fills the disk until only about this many bytes are left.
    void FillLeaving(std::uintmax_t bytes);
    // Makes the file system read-only (true when it could).
    bool MakeReadOnly();

private:
    TempDir FFolder;
    bool FMounted = false;
    std::string FProblem;
};

// Skips the test when no small disk can be had.
#define VARDOCLE_REQUIRE_SMALL_DISK(disk)                                                          \
    do {                                                                                           \
        if (!(disk).Mounted())                                                                     \
            GTEST_SKIP() << "cannot mount a small file system for the test: " << (disk).Problem(); \
    } while (false)

// The root window's colour changes ten times a second while this lives, so
// that every slot of a recording has a picture of its own.
class TChangingScreen {
public:
    TChangingScreen();
    ~TChangingScreen();
    TChangingScreen(const TChangingScreen&) = delete;
    TChangingScreen& operator=(const TChangingScreen&) = delete;

private:
    QProcess FProcess;
};

} // namespace vardocle::test
