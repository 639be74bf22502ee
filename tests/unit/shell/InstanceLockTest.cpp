#include "platform/shell/InstanceLock.h"
#include "tests/support/TestSupport.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace vardocle;

class InstanceLockTest : public ::testing::Test {
protected:
    void SetUp() override { setenv("XDG_RUNTIME_DIR", Folder.Path().c_str(), 1); }
    test::TempDir Folder;
};

TEST_F(InstanceLockTest, ASecondCopyOnTheSameDisplaySeesTheFirst) {
    TInstanceLock first("is run now", ":7");
    EXPECT_FALSE(first.AlreadyRunning());
    EXPECT_EQ(first.FilePath().rfind(Folder.Path().string(), 0), 0u);

    // Another process, as a second copy of the program would be.
    const pid_t child = fork();
    if (child == 0) {
        TInstanceLock second("is run now", ":7");
        _exit(second.AlreadyRunning() ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    // Another display is another desktop.
    TInstanceLock other("is run now", ":8");
    EXPECT_FALSE(other.AlreadyRunning());
}

TEST_F(InstanceLockTest, TheLockGoesWithItsOwner) {
    {
        TInstanceLock first("is run now", ":7");
        ASSERT_FALSE(first.AlreadyRunning());
    }
    TInstanceLock next("is run now", ":7");
    EXPECT_FALSE(next.AlreadyRunning());
}

TEST_F(InstanceLockTest, ACrashedCopyDoesNotBlockTheNextStart) {
    const pid_t child = fork();
    if (child == 0) {
        TInstanceLock held("is run now", ":7");
        _exit(3); // ends without releasing anything itself
    }
    int status = 0;
    waitpid(child, &status, 0);
    TInstanceLock next("is run now", ":7");
    EXPECT_FALSE(next.AlreadyRunning());
}
