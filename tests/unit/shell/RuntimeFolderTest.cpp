#include "platform/shell/RuntimeFolder.h"
#include "platform/shell/InstanceLock.h"
#include "tests/support/TestSupport.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace vardocle;

TEST(DisplayKey, OneDesktopHasOneNameWhateverItsSpelling) {
    for (const char* spelling : {":0", ":0.0", "unix:0", "unix:0.1", "unix/:0"})
        EXPECT_EQ(DisplayKey(spelling), DisplayKey(":0")) << spelling;
    EXPECT_NE(DisplayKey(":1"), DisplayKey(":0"));
    EXPECT_NE(DisplayKey(":10"), DisplayKey(":1"));
    EXPECT_NE(DisplayKey("otherhost:0"), DisplayKey(":0"));
    EXPECT_EQ(DisplayKey("otherhost:0.0"), DisplayKey("otherhost:0"));
    EXPECT_EQ(DisplayKey("a/b:0").find('/'), std::string::npos) << "a file name, not a path";
}

class RuntimeFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* value = std::getenv("XDG_RUNTIME_DIR"))
            FSavedRuntime = value;
        if (const char* value = std::getenv("TMPDIR"))
            FSavedTemp = value;
        // The fallback is made inside the test's own temp folder.
        setenv("TMPDIR", Folder.Path().c_str(), 1);
    }
    void TearDown() override {
        Restore("XDG_RUNTIME_DIR", FSavedRuntime);
        Restore("TMPDIR", FSavedTemp);
    }
    static void Restore(const char* name, const std::string& value) {
        if (value.empty())
            unsetenv(name);
        else
            setenv(name, value.c_str(), 1);
    }
    test::TempDir Folder;
    std::string FSavedRuntime, FSavedTemp;
};

TEST_F(RuntimeFolderTest, ALockTakenAsOneSpellingHoldsForTheOthers) {
    setenv("XDG_RUNTIME_DIR", Folder.Path().c_str(), 1);
    TInstanceLock first("is run now", ":7");
    ASSERT_TRUE(first.Held());
    const pid_t child = fork();
    if (child == 0) {
        TInstanceLock second("is run now", "unix:7.0");
        _exit(second.AlreadyRunning() ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST_F(RuntimeFolderTest, AFolderOthersMayWriteIsNeverUsed) {
    const auto shared = Folder / "shared";
    std::filesystem::create_directory(shared);
    ::chmod(shared.c_str(), 01777);
    setenv("XDG_RUNTIME_DIR", shared.c_str(), 1);
    // Falls back to a folder of this user's own, made private.
    const auto fallback = PrivateRuntimeFolder();
    ASSERT_TRUE(fallback);
    EXPECT_EQ(fallback->parent_path(), Folder.Path());
    struct stat info {};
    ASSERT_EQ(::stat(fallback->c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(TInstanceLock("is run now", ":7").FilePath().rfind(fallback->string(), 0), 0u);

    // A fallback someone opened to others is refused too: no lock at all
    // rather than one another user could take first.
    ::chmod(fallback->c_str(), 0777);
    EXPECT_FALSE(PrivateRuntimeFolder());
    const TInstanceLock unlocked("is run now", ":7");
    EXPECT_TRUE(unlocked.FilePath().empty());
    EXPECT_FALSE(unlocked.AlreadyRunning());
    ::chmod(fallback->c_str(), 0700);

    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(PrivateRuntimeFolder(), fallback);
}
