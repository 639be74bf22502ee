#pragma once
// Reading screen pixels through a shared-memory segment (MIT-SHM): the server
// writes them straight into our memory, with no copy through the socket.
#include "platform/screen/X11ShmSegment.h"

#include <X11/Xlib.h>

#include <cstddef>
#include <memory>

namespace vardocle {

// X errors (a grab while the screen changes size, a window that went away)
// must not end the program: they are noted, and the call that caused them
// reports failure. Installed once per process.
void NoteX11Errors();
void ClearX11Error();
int LastX11Error();

class TX11SharedImage {
public:
    TX11SharedImage(Display* connection, Visual* visual, int depth);
    ~TX11SharedImage();
    TX11SharedImage(const TX11SharedImage&) = delete;
    TX11SharedImage& operator=(const TX11SharedImage&) = delete;

    // The pixels of `drawable` from (x, y), width x height, or null when they
    // cannot be read this way. The segment grows when needed and is reused.
    XImage* Read(Drawable drawable, int x, int y, int width, int height);

private:
    bool Make(int width, int height);

    Display* FConnection;
    Visual* FVisual;
    int FDepth;
    struct TImageDeleter {
        void operator()(XImage* image) const;
    };
    // Declared before the image, which lives on it and so must go first.
    TX11ShmSegment FSegment;
    std::unique_ptr<XImage, TImageDeleter> FImage;
    bool FRefused = false;
};

} // namespace vardocle
