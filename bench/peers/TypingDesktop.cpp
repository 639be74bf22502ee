#include "bench/peers/TypingDesktop.h"

#include <X11/Xlib.h>

#include <chrono>
#include <string>

namespace vardocle::test {

TTypingDesktop::TTypingDesktop() {
    Begin();
}

TTypingDesktop::~TTypingDesktop() {
    End();
}

void TTypingDesktop::Run() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        FStop = true;
        return;
    }
    const int screen = DefaultScreen(display);
    const Window root = RootWindow(display, screen);
    const Window terminal = XCreateSimpleWindow(display, root, 200, 150, 900, 600, 0, 0, 0x101010);
    XMapWindow(display, terminal);
    const GC gc = XCreateGC(display, terminal, 0, nullptr);
    XSetForeground(display, gc, 0xD0D0D0);
    XSync(display, False);
    FStarted = true;
    const std::string text = "make install && ./configure --prefix=/usr; ls -la ";
    int column = 0;
    int line = 0;
    int typed = 0;
    int pointer = 0;
    const auto start = std::chrono::steady_clock::now();
    while (!FStop) {
        const auto now = std::chrono::steady_clock::now();
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::milliseconds>(now - start).count();
        // 8 characters a second.
        while (typed < elapsed / 125) {
            const char character = text[static_cast<std::size_t>(typed) % text.size()];
            XDrawString(display, terminal, gc, 10 + column * 7, 20 + line * 14, &character, 1);
            ++typed;
            if (++column == 120) {
                column = 0;
                if (++line == 40) {
                    line = 0;
                    XClearWindow(display, terminal);
                }
            }
        }
        // The pointer moves every 3 s.
        if (pointer < elapsed / 3000) {
            ++pointer;
            XWarpPointer(display, None, root, 0, 0, 0, 0, 300 + (pointer % 5) * 250,
                         200 + (pointer % 3) * 200);
        }
        XFlush(display);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    XFreeGC(display, gc);
    XDestroyWindow(display, terminal);
    XCloseDisplay(display);
}

} // namespace vardocle::test
