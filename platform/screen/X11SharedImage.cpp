#include "platform/screen/X11SharedImage.h"

#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

#include <atomic>
#include <cstdint>

namespace vardocle {

namespace {

std::atomic<int> gLastXError{0};

int NoteXError(Display*, XErrorEvent* event) {
    gLastXError = event->error_code;
    return 0;
}

std::size_t BytesPerLine(const XImage& image, int width) {
    const auto pad = static_cast<std::size_t>(image.bitmap_pad);
    const std::size_t bits = static_cast<std::size_t>(width) * image.bits_per_pixel;
    return (bits + pad - 1) / pad * pad / 8;
}

} // namespace

void NoteX11Errors() {
    XSetErrorHandler(NoteXError);
}

void ClearX11Error() {
    gLastXError = 0;
}

int LastX11Error() {
    return gLastXError;
}

void TX11SharedImage::TImageDeleter::operator()(XImage* image) const {
    if (image) {
        image->data = nullptr; // the segment is not XDestroyImage's to free
        XDestroyImage(image);
    }
}

TX11SharedImage::TX11SharedImage(Display* connection, Visual* visual, int depth)
    : FConnection(connection), FVisual(visual), FDepth(depth), FSegment(connection) {}

TX11SharedImage::~TX11SharedImage() = default;

bool TX11SharedImage::Make(int width, int height) {
    FImage.reset();
    FSegment.Release();
    FImage.reset(XShmCreateImage(FConnection, FVisual, static_cast<unsigned>(FDepth), ZPixmap,
                                 nullptr, FSegment.Info(), static_cast<unsigned>(width),
                                 static_cast<unsigned>(height)));
    if (!FImage)
        return false;
    if (!FSegment.Make(static_cast<std::size_t>(FImage->bytes_per_line) * height)) {
        // A server that refuses to share memory (another machine, another
        // namespace) will refuse again: not asked every frame.
        FImage.reset();
        FRefused = true;
        return false;
    }
    FImage->data = FSegment.Data();
    return true;
}

XImage* TX11SharedImage::Read(Drawable drawable, int x, int y, int width, int height) {
    if (FRefused)
        return nullptr;
    if (!FImage || BytesPerLine(*FImage, width) * height > FSegment.Size()) {
        if (!Make(width, height))
            return nullptr;
    }
    // Smaller reads reuse the segment: the server packs rows to the width asked for.
    FImage->width = width;
    FImage->height = height;
    FImage->bytes_per_line = static_cast<int>(BytesPerLine(*FImage, width));
    ClearX11Error();
    if (!XShmGetImage(FConnection, drawable, FImage.get(), x, y, AllPlanes) || LastX11Error())
        return nullptr;
    return FImage.get();
}

} // namespace vardocle
