#include "platform/base/Paths.h"

#include <system_error>

namespace vardocle {

std::string ExpandFileName(const std::string& path) {
    if (path.empty())
        return path;
    std::error_code error;
    auto absolute = std::filesystem::absolute(path, error);
    if (error)
        return path;
    return absolute.lexically_normal().string();
}

std::filesystem::path ExecutableDir() {
    std::error_code error;
    auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return std::filesystem::current_path();
    return self.parent_path();
}

std::string ChangeFileExt(const std::string& path, const std::string& extension) {
    // The extension starts at the last dot after the last slash.
    const auto slash = path.find_last_of('/');
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return path + extension;
    return path.substr(0, dot) + extension;
}

} // namespace vardocle
