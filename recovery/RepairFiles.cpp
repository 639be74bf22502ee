#include "recovery/RepairFiles.h"

#include <filesystem>
#include <sys/stat.h>

namespace vardocle {

namespace fs = std::filesystem;

std::string NotARegularFile(const std::string& Path, std::string& Chinese) {
    struct stat info {};
    if (::stat(Path.c_str(), &info) != 0 || S_ISREG(info.st_mode))
        return {};
    if (S_ISFIFO(info.st_mode)) {
        Chinese = "是命名管道，不是普通文件";
        return "it is a named pipe, not a regular file";
    }
    if (S_ISSOCK(info.st_mode)) {
        Chinese = "是套接字，不是普通文件";
        return "it is a socket, not a regular file";
    }
    if (S_ISDIR(info.st_mode)) {
        Chinese = "是文件夹，不是普通文件";
        return "it is a folder, not a regular file";
    }
    Chinese = "是设备，不是普通文件";
    return "it is a device, not a regular file";
}

std::string LinkTarget(const std::string& Path) {
    std::error_code error;
    if (!fs::is_symlink(fs::symlink_status(Path, error)))
        return Path;
    const fs::path target = fs::canonical(Path, error);
    return error ? Path : target.string();
}

std::vector<std::string> RemoveExisting(const std::vector<std::string>& Paths) {
    std::vector<std::string> removed;
    for (const std::string& path : Paths) {
        std::error_code error;
        if (fs::remove(path, error))
            removed.push_back(path);
    }
    return removed;
}

} // namespace vardocle
