#pragma once
// Writing and reading whole settings files in tests.
#include "app/SettingStore.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>

namespace vardocle {

inline void PrintTo(const TSettingValues& values, std::ostream* out) {
    *out << "{cursor " << values.RecordCursor << ", transparent " << values.RecordTrans << ", rate "
         << values.Rate << ", " << values.Width << "x" << values.Height << "}";
}

} // namespace vardocle

namespace vardocle::test {

inline void WriteFile(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

inline std::string ReadFile(const std::filesystem::path& file) {
    std::ifstream stream(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
}

} // namespace vardocle::test
