#pragma once
// Makes the disk refuse writes past a file size, as a full disk would, for
// as long as the object lives: the process's file size limit, with the signal
// it would raise ignored so that the write fails instead.
#include <csignal>
#include <sys/resource.h>

namespace vardocle::test {

class TFileSizeLimit {
public:
    explicit TFileSizeLimit(rlim_t bytes) : FHandler(std::signal(SIGXFSZ, SIG_IGN)) {
        FSet = getrlimit(RLIMIT_FSIZE, &FPrevious) == 0;
        rlimit limited = FPrevious;
        limited.rlim_cur = bytes;
        FSet = FSet && setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~TFileSizeLimit() {
        if (FSet)
            setrlimit(RLIMIT_FSIZE, &FPrevious);
        std::signal(SIGXFSZ, FHandler);
    }
    TFileSizeLimit(const TFileSizeLimit&) = delete;
    TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;

    bool Set() const { return FSet; }

private:
    void (*FHandler)(int);
    rlimit FPrevious{};
    bool FSet = false;
};

} // namespace vardocle::test
