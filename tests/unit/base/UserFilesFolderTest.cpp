#include "platform/base/UserFilesFolder.h"
#include "tests/support/TestSupport.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace vardocle;
namespace fs = std::filesystem;

namespace {

std::string Read(const fs::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs `check` as a user without the right to write everywhere: root may
// write into any folder, so a root run checks as "nobody" in a child. The
// child's failures come back as text.
std::string AsPlainUser(const std::function<std::string()>& check) {
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        return "no pipe";
    const pid_t child = fork();
    if (child == 0) {
        ::close(pipeEnds[0]);
        if (::getuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            _exit(3);
        const std::string failures = check();
        (void)!::write(pipeEnds[1], failures.data(), failures.size());
        _exit(0);
    }
    ::close(pipeEnds[1]);
    std::string failures;
    char buffer[512];
    for (ssize_t got; (got = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        failures.append(buffer, std::size_t(got));
    ::close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "the check did not run to its end";
    return failures;
}

class UserFilesFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Every folder here belongs to the user the check runs as.
        for (const fs::path& folder : {Root.Path(), Exe, Config}) {
            fs::create_directories(folder);
            if (::getuid() == 0)
                (void)!::chown(folder.c_str(), 65534, 65534);
        }
        ::chmod(Root.Path().c_str(), 0755);
        std::ofstream(Exe / "Setting.ini") << "[Main]\nRate=5\n";
        std::ofstream(Exe / "History.his") << std::string(320, 'h');
    }
    test::TempDir Root;
    fs::path Exe = Root / "opt";
    fs::path Config = Root / "config";
};

} // namespace

TEST_F(UserFilesFolderTest, AWritableProgramFolderKeepsEverythingBesideIt) {
    const auto choice = TUserFilesFolder::Choose(Exe, Config);
    EXPECT_TRUE(choice.BesideExecutable());
    EXPECT_TRUE(choice.Usable());
    EXPECT_EQ(choice.Folder(), Exe);
    EXPECT_FALSE(fs::exists(Config / "vardocle"));
}

TEST_F(UserFilesFolderTest, AReadOnlyProgramFolderUsesAPrivateFolderStartingFromItsFiles) {
    std::ofstream(Exe / "RepairDeclined.lst") << "/v/a.avi\n";
    // Installed files are read-only; their copies must not be.
    ::chmod((Exe / "Setting.ini").c_str(), 0444);
    ::chmod(Exe.c_str(), 0555);
    const std::string failures = AsPlainUser([&] {
        std::string out;
        const auto choice = TUserFilesFolder::Choose(Exe, Config);
        const fs::path folder = Config / "vardocle";
        struct stat info {};
        if (choice.BesideExecutable() || !choice.Usable() || choice.Folder() != folder)
            out += "not the configuration folder; ";
        if (::stat(folder.c_str(), &info) != 0 || (info.st_mode & 0777) != 0700)
            out += "folder not made private; ";
        if (Read(folder / "Setting.ini") != "[Main]\nRate=5\n" ||
            Read(folder / "History.his") != std::string(320, 'h') ||
            Read(folder / "RepairDeclined.lst") != "/v/a.avi\n")
            out += "the files beside the program were not the starting point; ";
        if (::access((folder / "Setting.ini").c_str(), W_OK) != 0)
            out += "the copied settings cannot be written; ";
        // A later run keeps what the folder holds: it is newer.
        std::ofstream(folder / "Setting.ini") << "[Main]\nRate=1\n";
        TUserFilesFolder::Choose(Exe, Config);
        if (Read(folder / "Setting.ini") != "[Main]\nRate=1\n")
            out += "a kept setting was overwritten; ";
        return out;
    });
    ::chmod(Exe.c_str(), 0755);
    EXPECT_EQ(failures, "");
}

TEST_F(UserFilesFolderTest, AnInstalledCopyUsesTheConfigurationFolderEvenWhenItsOwnIsWritable) {
    std::ofstream(Exe / kInstalledMarkName) << "";
    const auto before = Read(Exe / "Setting.ini");
    const auto choice = TUserFilesFolder::Choose(Exe, Config);
    EXPECT_FALSE(choice.BesideExecutable());
    EXPECT_EQ(choice.Folder(), Config / "vardocle");
    EXPECT_EQ(Read(Config / "vardocle" / "Setting.ini"), before);
    std::size_t beside = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(Exe))
        ++beside;
    EXPECT_EQ(beside, 3u); // the mark, the settings and the history, as they were
}

TEST_F(UserFilesFolderTest, AFolderThatCannotBeMadeSaysWhyAndPointsNowhereElse) {
    ::chmod(Exe.c_str(), 0555);
    std::ofstream(Root / "file") << "x";
    const std::string failures = AsPlainUser([&] {
        std::string out;
        const auto choice = TUserFilesFolder::Choose(Exe, Root / "file");
        if (choice.Usable() || choice.Problem().empty())
            out += "the failure was not reported; ";
        if (choice.Folder() == Exe)
            out += "fell back to the program's folder; ";
        return out;
    });
    ::chmod(Exe.c_str(), 0755);
    EXPECT_EQ(failures, "");
}

TEST(ConfigHome, FollowsXdgConfigHomeOnlyWhenItIsAbsolute) {
    const char* saved = std::getenv("XDG_CONFIG_HOME");
    const std::string keep = saved ? saved : "";
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("XDG_CONFIG_HOME", "/srv/conf", 1);
    EXPECT_EQ(ConfigHome(), fs::path("/srv/conf"));
    setenv("XDG_CONFIG_HOME", "relative", 1);
    setenv("HOME", "/home/u", 1);
    EXPECT_EQ(ConfigHome(), fs::path("/home/u/.config"));
    setenv("HOME", home.c_str(), 1);
    if (saved)
        setenv("XDG_CONFIG_HOME", keep.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}
