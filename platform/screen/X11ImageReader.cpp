#include "platform/screen/X11ImageReader.h"

#include <X11/Xutil.h>

namespace vardocle {

void TX11ImageReader::TImageDeleter::operator()(XImage* image) const {
    if (image)
        XDestroyImage(image);
}

TX11ImageReader::TX11ImageReader(Display* connection, Visual* visual, int depth, bool sharedMemory)
    : FConnection(connection) {
    if (sharedMemory)
        FShared = std::make_unique<TX11SharedImage>(connection, visual, depth);
}

TX11ImageReader::~TX11ImageReader() = default;

XImage* TX11ImageReader::Read(Drawable drawable, int x, int y, int width, int height) {
    if (FShared)
        if (XImage* image = FShared->Read(drawable, x, y, width, height))
            return image;
    ClearX11Error();
    FPlain.reset(XGetImage(FConnection, drawable, x, y, static_cast<unsigned>(width),
                           static_cast<unsigned>(height), AllPlanes, ZPixmap));
    return LastX11Error() ? nullptr : FPlain.get();
}

} // namespace vardocle
