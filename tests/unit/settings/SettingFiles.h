#pragma once
// Writing and reading whole settings files in tests.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace vardocle::test {

inline void WriteFile(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

inline std::string ReadFile(const std::filesystem::path& file) {
    std::ifstream stream(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
}

} // namespace vardocle::test
