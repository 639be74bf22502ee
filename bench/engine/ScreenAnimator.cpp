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

TScreenAnimator::TScreenAnimator(int stillX, int stillY, int stillWidth, int stillHeight)
    : FStillX(stillX), FStillY(stillY), FStillWidth(stillWidth), FStillHeight(stillHeight) {
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
    if (FStillWidth > 0 && FStillHeight > 0) {
        // Everything but the still rectangle: above, below, left, right.
        const int bottom = FStillY + FStillHeight;
        const int right = FStillX + FStillWidth;
        XRectangle around[] = {
            {0, 0, static_cast<unsigned short>(width), static_cast<unsigned short>(FStillY)},
            {0, static_cast<short>(bottom), static_cast<unsigned short>(width),
             static_cast<unsigned short>(height - bottom)},
            {0, static_cast<short>(FStillY), static_cast<unsigned short>(FStillX),
             static_cast<unsigned short>(FStillHeight)},
            {static_cast<short>(right), static_cast<short>(FStillY),
             static_cast<unsigned short>(width - right),
             static_cast<unsigned short>(FStillHeight)}};
        XSetClipRectangles(display, gc, 0, 0, around, 4, Unsorted);
    }
    std::mt19937 random(42);
    const char* words[] = {"record", "screen", "frame", "video", "sound",  "merge", "pause",
                           "resume", "stop",   "codec", "slot",  "cursor", "录制",  "屏幕"};
    XSetForeground(display, gc, WhitePixel(display, screen));
    XFillRectangle(display, root, gc, 0, 0, width, height);
    constexpr int kLine = 16;
    long line = 0;
    FStarted = true;
    // Steps at fixed moments, so that the X server's share of the drawing is
    // the same with and without a recorder competing for the processor.
    auto next = std::chrono::steady_clock::now();
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
        next += std::chrono::milliseconds(40);
        std::this_thread::sleep_until(next);
    }
    XFreeGC(display, gc);
    XCloseDisplay(display);
}

} // namespace vardocle::test
