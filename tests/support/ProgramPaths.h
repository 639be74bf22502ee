#pragma once
// How tests name files and programs to the programs they start.
#include "tests/support/TestSupport.h"

#include <QString>

#include <filesystem>

namespace vardocle::test {

// A path as an argument of a program.
inline QString Q(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

// The command-line recorder built beside the tests.
inline QString Recorder() {
    return Q(BinDir() / "vardocle-record");
}

} // namespace vardocle::test
