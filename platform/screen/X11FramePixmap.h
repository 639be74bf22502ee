#pragma once
// The pixmap a composed frame is drawn into. Where the X server can draw into
// memory shared with us, the pixmap lives in such memory, so a finished frame
// is ours without being read back; otherwise it is an ordinary pixmap that is
// read once the frame is finished.
#include "platform/screen/Screen.h"
#include "platform/screen/X11ImageReader.h"
#include "platform/screen/X11ShmSegment.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xrender.h>

#include <memory>

namespace vardocle {

class TX11FramePixmap {
public:
    TX11FramePixmap(Display* connection, Window root, XRenderPictFormat* format);
    ~TX11FramePixmap();
    TX11FramePixmap(const TX11FramePixmap&) = delete;
    TX11FramePixmap& operator=(const TX11FramePixmap&) = delete;

    // A pixmap of at least width x height; false when none can be made.
    bool Ensure(int width, int height);
    Pixmap Drawable() const { return FPixmap; }
    Picture Target() const { return FPicture; }
    // The top-left width x height of the frame once the server has drawn all
    // that was asked of it, or an empty picture when it cannot be read.
    TScreenGrab Pixels(int width, int height);

private:
    void Free();

    Display* FConnection;
    Window FRoot;
    Visual* FVisual = nullptr;
    XRenderPictFormat* FFormat;
    int FDepth = 0;
    int FBitsPerPixel = 0;
    int FScanlinePad = 0;
    bool FShared = false;
    TX11ShmSegment FSegment;
    Pixmap FPixmap = 0;
    Picture FPicture = 0;
    int FWidth = 0;
    int FHeight = 0;
    std::ptrdiff_t FStride = 0;
    // For an ordinary pixmap, which has to be read once drawn.
    std::unique_ptr<TX11ImageReader> FReader;
};

} // namespace vardocle
