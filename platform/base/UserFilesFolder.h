#pragma once
// Where the program keeps the files it writes for its user: the settings,
// the history and the small lists beside them. A copy in a folder the user
// may write (the build folder, a copy in the home folder) keeps them beside
// the executable; an installed copy (one that carries the installation mark,
// or whose folder cannot be written) keeps them in the user's configuration
// folder, starting from any files that lie beside the executable. The
// choice is made once per run and holds for every such file.
#include <filesystem>
#include <string>

namespace vardocle {

class TUserFilesFolder {
public:
    // Decides for an executable in `executableDir`; `configHome` is the
    // user's configuration folder ($XDG_CONFIG_HOME or ~/.config). Makes the
    // folder (mode 0700) when the executable's is marked installed or cannot
    // be written, and copies over the files beside the executable that are
    // not there yet.
    static TUserFilesFolder Choose(const std::filesystem::path& executableDir,
                                   const std::filesystem::path& configHome);

    // The folder every such file is read from and written to.
    const std::filesystem::path& Folder() const { return FFolder; }
    bool BesideExecutable() const { return FBesideExecutable; }
    // False when the folder could not be made: nothing can be kept this run.
    bool Usable() const { return FProblem.empty(); }
    // Why the folder could not be made (the system's words); empty when usable.
    const std::string& Problem() const { return FProblem; }

private:
    std::filesystem::path FFolder;
    bool FBesideExecutable = true;
    std::string FProblem;
};

// Beside the executable of an installed copy. Such a folder is shared by
// every user and owned by the package: even a user who may write it (root)
// keeps the files in the configuration folder, so that no user starts from
// another's settings and removing the package leaves nothing behind.
inline constexpr const char* kInstalledMarkName = "vardocle.installed";

// The files that move with the choice, as they are named beside the executable.
inline constexpr const char* kUserFileNames[] = {"Setting.ini", "History.his", "RepairDeclined.lst",
                                                 "ScreenCast.token", "ScreenCast-window.token"};

// $XDG_CONFIG_HOME when it is an absolute path, else ~/.config.
std::filesystem::path ConfigHome();

// The choice of this run, made on the first call for the running executable.
const TUserFilesFolder& UserFiles();

} // namespace vardocle
