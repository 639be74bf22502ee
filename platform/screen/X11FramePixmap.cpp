#include "platform/screen/X11FramePixmap.h"

#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

namespace vardocle {

TX11FramePixmap::TX11FramePixmap(Display* connection, Window root, XRenderPictFormat* format)
    : FConnection(connection), FRoot(root), FFormat(format), FSegment(connection) {
    XWindowAttributes attributes;
    XGetWindowAttributes(connection, root, &attributes);
    FVisual = attributes.visual;
    FDepth = attributes.depth;
    int count = 0;
    if (XPixmapFormatValues* formats = XListPixmapFormats(connection, &count)) {
        for (int i = 0; i < count; ++i)
            if (formats[i].depth == FDepth) {
                FBitsPerPixel = formats[i].bits_per_pixel;
                FScanlinePad = formats[i].scanline_pad;
            }
        XFree(formats);
    }
    int major = 0;
    int minor = 0;
    Bool pixmaps = False;
    const bool shm = XShmQueryVersion(connection, &major, &minor, &pixmaps);
    // The frame is handed on as 32-bit pixels, low byte first; a server whose
    // pixmaps look different is read back through an image instead.
    FShared = shm && pixmaps && XShmPixmapFormat(connection) == ZPixmap && FBitsPerPixel == 32 &&
              FScanlinePad > 0 && ImageByteOrder(connection) == LSBFirst;
    FReader = std::make_unique<TX11ImageReader>(connection, FVisual, FDepth, shm);
}

TX11FramePixmap::~TX11FramePixmap() {
    Free();
}

void TX11FramePixmap::Free() {
    if (FPicture)
        XRenderFreePicture(FConnection, FPicture);
    if (FPixmap)
        XFreePixmap(FConnection, FPixmap);
    FPicture = 0;
    FPixmap = 0;
    FWidth = FHeight = 0;
    // The server lets go of the memory with the pixmap, before we do.
    FSegment.Release();
}

bool TX11FramePixmap::Ensure(int width, int height) {
    if (FPixmap && FWidth >= width && FHeight >= height)
        return true;
    Free();
    if (FShared) {
        const int bits = width * FBitsPerPixel;
        FStride = (bits + FScanlinePad - 1) / FScanlinePad * FScanlinePad / 8;
        if (FSegment.Make(static_cast<std::size_t>(FStride) * height)) {
            ClearX11Error();
            FPixmap = XShmCreatePixmap(FConnection, FRoot, FSegment.Data(), FSegment.Info(),
                                       static_cast<unsigned>(width), static_cast<unsigned>(height),
                                       static_cast<unsigned>(FDepth));
            XSync(FConnection, False);
            if (LastX11Error())
                FPixmap = 0;
        }
        if (!FPixmap) {
            // Refused (a server that shares images but not pixmaps, say): read back instead.
            FSegment.Release();
            FShared = false;
        }
    }
    if (!FPixmap)
        FPixmap = XCreatePixmap(FConnection, FRoot, static_cast<unsigned>(width),
                                static_cast<unsigned>(height), static_cast<unsigned>(FDepth));
    FPicture = XRenderCreatePicture(FConnection, FPixmap, FFormat, 0, nullptr);
    FWidth = width;
    FHeight = height;
    return FPixmap != 0 && FPicture != 0;
}

TScreenGrab TX11FramePixmap::Pixels(int width, int height) {
    if (!FPixmap || width > FWidth || height > FHeight)
        return {};
    // The round trip returns once the server has carried out every drawing
    // request before it. Errors of those (a window closed meanwhile, its part
    // of this frame left as it was) are dropped: the frame is still the
    // desktop without the see-through windows.
    XSync(FConnection, False);
    ClearX11Error();
    if (FShared)
        return {reinterpret_cast<std::uint8_t*>(FSegment.Data()), width, height, FStride};
    const XImage* image = FReader->Read(FPixmap, 0, 0, width, height);
    if (!image || image->bits_per_pixel != 32 || image->byte_order != LSBFirst)
        return {};
    return {reinterpret_cast<std::uint8_t*>(image->data), image->width, image->height,
            image->bytes_per_line};
}

} // namespace vardocle
