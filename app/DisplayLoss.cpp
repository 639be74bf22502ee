#include "app/DisplayLoss.h"

#include <QGuiApplication>

#include <X11/Xlib.h>
#include <xcb/xcb.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace vardocle {

namespace {

std::atomic<TDisplayLossGuard*> GGuard{nullptr};

// Xlib's own handler, and the toolkit's, end the process with exit() on
// whichever thread met the broken connection, the capture thread among them.
// This one only says it: each connection's exit handler decides what
// follows (the screen grab's ends its grabs, the toolkit's ends the program
// through the guard, on the main thread).
int NoteBrokenConnection(Display* /*display*/) {
    static std::atomic<bool> told{false};
    if (!told.exchange(true))
        std::fprintf(stderr, "vardocle: X11 connection broke\n");
    return 0;
}

} // namespace

bool DisplayConnectionBroken() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app || QGuiApplication::platformName() != QLatin1String("xcb"))
        return false;
    auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    return connection != nullptr && xcb_connection_has_error(connection) != 0;
}

TDisplayLossGuard::TDisplayLossGuard(std::function<bool()> Finish)
    : FFinish(std::move(Finish)), FMainThread(std::this_thread::get_id()) {
    // Registered once; later guards reuse it. Handlers run in the reverse
    // order of registration, so this one runs before the toolkit's own
    // clean-up, which was registered when the toolkit was loaded.
    static const bool registered = std::atexit(&TDisplayLossGuard::AtExit) == 0;
    (void)registered;
    XSetIOErrorHandler(&NoteBrokenConnection);
    GGuard = this;
}

TDisplayLossGuard::~TDisplayLossGuard() {
    GGuard = nullptr;
}

void TDisplayLossGuard::AtExit() {
    TDisplayLossGuard* guard = GGuard.exchange(nullptr);
    // Only an exit the toolkit called from the main thread because the
    // display broke; any other exit goes on as it would have.
    if (!guard || guard->FMainThread != std::this_thread::get_id() || !DisplayConnectionBroken())
        return;
    std::fprintf(stderr,
                 "vardocle: 与显示服务器的连接已断开 / the connection to the X server broke\n");
    std::fflush(stderr);
    bool saved = false;
    try {
        saved = guard->FFinish();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "vardocle: %s\n", error.what());
    }
    if (saved)
        std::fprintf(stderr, "vardocle: 录像已保存 / the recording was saved\n");
    std::fflush(stderr);
    std::fflush(stdout);
    // Nothing more is torn down: the threads and the toolkit's objects are
    // left to the end of the process.
    _exit(kStatus);
}

} // namespace vardocle
