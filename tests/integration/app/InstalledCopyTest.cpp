// A copy of the program in a folder its user cannot write, as an installed
// one is: its settings and history go to the user's configuration folder,
// starting from those beside it, and nothing is written beside it.
#include "tests/integration/app/ProgramDriver.h"

#include <sys/stat.h>
#include <unistd.h>

using namespace vardocle::test;

namespace {

// Root may write into any folder; the program then runs as "nobody".
constexpr uid_t kPlainUser = 65534;

class InstalledCopy : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        if (HasFatalFailure() || IsSkipped())
            return;
        std::ofstream(Folder / "bin" / "History.his") << std::string(320, '\0');
        for (const fs::path& folder : {Runtime, Config}) {
            fs::create_directories(folder);
            ::chmod(folder.c_str(), 0700);
            Own(folder);
        }
        ::chmod(Folder.Path().c_str(), 0755);
        Own(Folder / "work");
        for (const auto& entry : fs::recursive_directory_iterator(Folder / "bin"))
            ::chmod(entry.path().c_str(), entry.is_directory() ? 0555 : 0444);
        ::chmod((Folder / "bin" / "vardocle").c_str(), 0555);
        ::chmod((Folder / "bin").c_str(), 0555);
    }
    void TearDown() override {
        ProgramTest::TearDown();
        // Writable again, so that the folder can be removed.
        for (const auto& entry : fs::recursive_directory_iterator(Folder / "bin"))
            if (entry.is_directory())
                ::chmod(entry.path().c_str(), 0755);
        ::chmod((Folder / "bin").c_str(), 0755);
    }
    static void Own(const fs::path& path) {
        if (::getuid() == 0)
            (void)!::chown(path.c_str(), kPlainUser, kPlainUser);
    }
    QStringList Environment() const {
        return {"XDG_RUNTIME_DIR=" + QString::fromStdString(Runtime.string()),
                "XDG_CONFIG_HOME=" + QString::fromStdString(Config.string()),
                "HOME=" + QString::fromStdString(Config.string()), "QTWEBENGINE_DISABLE_SANDBOX=1",
                "QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu"};
    }
    // The program as the plain user: through setpriv when the test is root.
    std::pair<QString, QStringList> AsUser(const QStringList& arguments) const {
        const QString program = QString::fromStdString((Folder / "bin" / "vardocle").string());
        if (::getuid() != 0)
            return {program, arguments};
        return {"setpriv",
                QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", program} +
                    arguments};
    }
    ProcessResult Command(const QString& word) {
        const auto [program, arguments] = AsUser({"--command", word});
        return RunProcess(program, arguments, 60s, Environment());
    }

    fs::path Runtime = Folder / "runtime";
    fs::path Config = Folder / "config";
};

} // namespace

TEST_F(InstalledCopy, KeepsSettingsAndHistoryInTheConfigurationFolder) {
    auto environment = QProcessEnvironment::systemEnvironment();
    for (const QString& entry : Environment())
        environment.insert(entry.section('=', 0, 0), entry.section('=', 1));
    Program.setProcessEnvironment(environment);
    Program.setWorkingDirectory(QString::fromStdString((Folder / "work").string()));
    Program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const auto [program, arguments] = AsUser({"--site", "http://127.0.0.1:9"});
    Program.start(program, arguments);
    ASSERT_TRUE(Program.waitForStarted(10000));
    ASSERT_TRUE(WaitUntil([&] { return Command("show").ExitCode == 0; }, 30s))
        << "the installed copy never answered";

    const fs::path kept = Config / "vardocle";
    struct stat info {};
    ASSERT_EQ(::stat(kept.c_str(), &info), 0) << "no folder " << kept;
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(FileSize(kept / "History.his"), 320u) << "the history beside it is the start";

    ASSERT_EQ(Command("quit").ExitCode, 0);
    ASSERT_TRUE(Program.waitForFinished(20000));
    std::ifstream ini(kept / "Setting.ini");
    const std::string text((std::istreambuf_iterator<char>(ini)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("Rate=5"), std::string::npos)
        << "the setting beside it was not read: " << text;
    // Nothing new beside the program.
    for (const auto& entry : fs::directory_iterator(Folder / "bin"))
        EXPECT_NE(entry.path().filename(), "History.tmp");
    std::ifstream besideIni(Folder / "bin" / "Setting.ini");
    const std::string beside((std::istreambuf_iterator<char>(besideIni)),
                             std::istreambuf_iterator<char>());
    EXPECT_EQ(beside, "[Main]\nRate=5\n");
}
