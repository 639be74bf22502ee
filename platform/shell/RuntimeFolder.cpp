#include "platform/shell/RuntimeFolder.h"

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace vardocle {

bool IsPrivateFolder(const std::filesystem::path& folder) {
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0)
        return false;
    return S_ISDIR(info.st_mode) && info.st_uid == ::getuid() &&
           (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

std::optional<std::filesystem::path> PrivateRuntimeFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime == '/' && IsPrivateFolder(runtime))
        return std::filesystem::path(runtime);
    std::error_code error;
    auto fallback = std::filesystem::temp_directory_path(error);
    if (error)
        fallback = "/tmp";
    fallback /= "vardocle-" + std::to_string(::getuid());
    // An existing folder is taken only as it would have been made here: one
    // left by another user, or opened to others, is not ours to use.
    ::mkdir(fallback.c_str(), 0700);
    if (!IsPrivateFolder(fallback))
        return std::nullopt;
    return fallback;
}

std::string DisplayKey(std::string_view display) {
    if (display.empty())
        return "nodisplay";
    const auto colon = display.rfind(':');
    if (colon == std::string_view::npos)
        return "nodisplay";
    std::string host(display.substr(0, colon));
    std::string number(display.substr(colon + 1));
    // The screen number after the dot names a screen of the same server.
    if (const auto dot = number.find('.'); dot != std::string::npos)
        number.resize(dot);
    if (host.ends_with("/unix") || host == "unix/")
        host.clear();
    if (host == "unix")
        host.clear();
    std::string key = host.empty() ? number : host + "_" + number;
    for (char& c : key)
        if (c == '/' || c == ' ' || c == ':')
            c = '_';
    return key.empty() ? std::string("nodisplay") : key;
}

std::optional<std::filesystem::path> RuntimeFile(std::string_view name, std::string_view display,
                                                 std::string_view suffix) {
    const auto folder = PrivateRuntimeFolder();
    if (!folder)
        return std::nullopt;
    std::string file = "vardocle-";
    file += name;
    file += "-" + std::to_string(::getuid()) + "-" + DisplayKey(display) + ".";
    file += suffix;
    return *folder / file;
}

} // namespace vardocle
