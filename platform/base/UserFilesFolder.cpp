#include "platform/base/UserFilesFolder.h"

#include "platform/base/Paths.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vardocle {

namespace fs = std::filesystem;

namespace {

// Made one level at a time so that every folder made here is private; the
// user's existing folders are left as they are.
std::string MakePrivateFolders(const fs::path& folder) {
    fs::path made;
    for (const auto& part : folder) {
        made /= part;
        if (::mkdir(made.c_str(), 0700) != 0 && errno != EEXIST)
            return made.string() + ": " + std::strerror(errno);
    }
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0)
        return folder.string() + ": " + std::strerror(errno);
    if (!S_ISDIR(info.st_mode))
        return folder.string() + ": " + std::strerror(ENOTDIR);
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        return folder.string() + ": " + std::strerror(errno);
    return {};
}

} // namespace

TUserFilesFolder TUserFilesFolder::Choose(const fs::path& executableDir,
                                          const fs::path& configHome) {
    TUserFilesFolder choice;
    std::error_code unknown;
    const bool installed = fs::exists(executableDir / kInstalledMarkName, unknown);
    if (!installed && ::access(executableDir.c_str(), W_OK | X_OK) == 0) {
        choice.FFolder = executableDir;
        return choice;
    }
    choice.FBesideExecutable = false;
    choice.FFolder = configHome / "vardocle";
    choice.FProblem = MakePrivateFolders(choice.FFolder);
    if (!choice.Usable())
        return choice;
    // What an earlier portable run kept is where this run starts; a file the
    // folder already has is newer and stays.
    for (const char* name : kUserFileNames) {
        std::error_code ignored;
        // The copy is the user's own to write, whatever the installed one's mode.
        if (fs::is_regular_file(executableDir / name, ignored) &&
            fs::copy_file(executableDir / name, choice.FFolder / name,
                          fs::copy_options::skip_existing, ignored))
            fs::permissions(choice.FFolder / name, fs::perms::owner_read | fs::perms::owner_write,
                            fs::perm_options::replace, ignored);
    }
    return choice;
}

fs::path ConfigHome() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && *config == '/')
        return config;
    const char* home = std::getenv("HOME");
    if (home && *home == '/')
        return fs::path(home) / ".config";
    if (const passwd* user = ::getpwuid(::getuid()); user && user->pw_dir)
        return fs::path(user->pw_dir) / ".config";
    return fs::path("/nonexistent") / ".config";
}

const TUserFilesFolder& UserFiles() {
    static const TUserFilesFolder choice = TUserFilesFolder::Choose(ExecutableDir(), ConfigHome());
    return choice;
}

} // namespace vardocle
