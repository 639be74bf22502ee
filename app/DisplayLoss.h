#pragma once
// The X server going away while the program runs. The toolkit then ends the
// process with exit(1) from inside its event loop, while the capture and
// sound threads still run and a recording is half written; left alone, the
// static destructors that follow crash it. This guard takes over at that
// exit: it has the recording finished as Stop would (without the display),
// lets the owner save what it must, says so on stderr and ends the process
// at once with status 1, before anything is torn down under the threads.
#include <functional>
#include <thread>

namespace vardocle {

class TDisplayLossGuard {
public:
    // Finish runs on this (the main) thread, inside exit(), and must not touch
    // the display; it returns whether a recording was saved. One guard at a
    // time; a normal end of main destroys it before exit runs.
    explicit TDisplayLossGuard(std::function<bool()> Finish);
    ~TDisplayLossGuard();
    TDisplayLossGuard(const TDisplayLossGuard&) = delete;
    TDisplayLossGuard& operator=(const TDisplayLossGuard&) = delete;

    // The process's exit status after the display went away.
    static constexpr int kStatus = 1;

private:
    static void AtExit();

    std::function<bool()> FFinish;
    std::thread::id FMainThread;
};

// True when the toolkit's connection to the X server is broken.
bool DisplayConnectionBroken();

} // namespace vardocle
