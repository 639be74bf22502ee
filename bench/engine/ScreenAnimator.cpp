#include "bench/engine/ScreenAnimator.h"

#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>

namespace vardocle::test {

TScreenAnimator::TScreenAnimator() {
    Begin();
}

TScreenAnimator::~TScreenAnimator() {
    End();
}

void TScreenAnimator::Run() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        FStop = true;
        return;
    }
    const Window root = DefaultRootWindow(display);
    const int screen = DefaultScreen(display);
    const int width = DisplayWidth(display, screen);
    const int height = DisplayHeight(display, screen);
    GC gc = XCreateGC(display, root, 0, nullptr);
    XSetSubwindowMode(display, gc, IncludeInferiors);
    std::mt19937 random(42);
    const char* words[] = {"record", "screen", "frame", "video", "sound",  "merge", "pause",
                           "resume", "stop",   "codec", "slot",  "cursor", "录制",  "屏幕"};
    XSetForeground(display, gc, WhitePixel(display, screen));
    XFillRectangle(display, root, gc, 0, 0, width, height);
    constexpr int kLine = 16;
    long line = 0;
    FStarted = true;
    while (!FStop) {
        // Scroll up by two lines and write two new lines of text in colour.
        XCopyArea(display, root, root, gc, 0, 2 * kLine, width, height - 2 * kLine, 0, 0);
        for (int i = 0; i < 2; ++i, ++line) {
            const int y = height - (2 - i) * kLine;
            XSetForeground(display, gc, WhitePixel(display, screen));
            XFillRectangle(display, root, gc, 0, y, width, kLine);
            std::string text = std::to_string(line) + ":";
            while (text.size() < 300)
                text += std::string(" ") + words[random() % 14];
            XSetForeground(display, gc, random() & 0x7F7F7F);
            XDrawString(display, root, gc, 4, y + kLine - 4, text.c_str(),
                        static_cast<int>(text.size()));
        }
        XSync(display, False);
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
    }
    XFreeGC(display, gc);
    XCloseDisplay(display);
}

} // namespace vardocle::test
