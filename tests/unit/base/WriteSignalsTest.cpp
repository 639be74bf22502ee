// Past a file-size limit a write fails with EFBIG and the process lives on.
#include "platform/base/WriteSignals.h"

#include "tests/support/TestSupport.h"

#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Exit status of a child that sets a 4 KiB limit and writes 8 KiB: 0 when the
// write failed with EFBIG; killed by SIGXFSZ otherwise.
int WritePastLimit(const std::string& path, bool ignoreSignals) {
    const pid_t child = fork();
    if (child == 0) {
        if (ignoreSignals)
            vardocle::IgnoreWriteSignals();
        const rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        char block[8192] = {};
        ssize_t written = write(fd, block, sizeof block);
        if (written == 4096)
            written = write(fd, block, sizeof block);
        _exit(written < 0 && errno == EFBIG ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return status;
}

TEST(WriteSignals, AFileSizeLimitBecomesAFailedWrite) {
    vardocle::test::TempDir folder;
    const int killed = WritePastLimit((folder / "plain").string(), false);
    ASSERT_TRUE(WIFSIGNALED(killed)) << "the limit did not apply: nothing to compare with";
    EXPECT_EQ(WTERMSIG(killed), SIGXFSZ);

    const int survived = WritePastLimit((folder / "ignored").string(), true);
    ASSERT_TRUE(WIFEXITED(survived));
    EXPECT_EQ(WEXITSTATUS(survived), 0);
}

} // namespace
