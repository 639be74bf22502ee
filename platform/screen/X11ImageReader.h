#pragma once
// Reads a drawable's pixels the quickest way the server allows: through a
// shared-memory segment, otherwise through the socket.
#include "platform/screen/X11SharedImage.h"

#include <X11/Xlib.h>

#include <memory>

namespace vardocle {

class TX11ImageReader {
public:
    TX11ImageReader(Display* connection, Visual* visual, int depth, bool sharedMemory);
    ~TX11ImageReader();
    TX11ImageReader(const TX11ImageReader&) = delete;
    TX11ImageReader& operator=(const TX11ImageReader&) = delete;

    // The pixels of `drawable` from (x, y), width x height, valid until the
    // next read; null when they cannot be read at all.
    XImage* Read(Drawable drawable, int x, int y, int width, int height);

private:
    Display* FConnection;
    std::unique_ptr<TX11SharedImage> FShared;
    struct TImageDeleter {
        void operator()(XImage* image) const;
    };
    std::unique_ptr<XImage, TImageDeleter> FPlain;
};

} // namespace vardocle
