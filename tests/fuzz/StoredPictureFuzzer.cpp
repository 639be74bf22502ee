// Any bytes as a stored picture of the skin: it loads or is refused, never
// more; a loaded picture tells the size of its pixels and stores again as a
// picture of the same size.
#include "skin/nxGDIPlusAPI.h"
#include "skin/nxGDIPlusClasses.h"
#include "tests/fuzz/FuzzRequire.h"

#include <QBuffer>
#include <QByteArray>

#include <cstdint>
#include <cstdlib>

using namespace vardocle;
using fuzz::Require;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // As the picture unit does at start-up, without the application object.
    Require(EnsureImagingLibrary());
    ImageClass() = &NewLibraryImage;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QBuffer stream(&bytes);
    stream.open(QIODevice::ReadOnly);
    TnxPNGImage picture;
    try {
        if (!picture.LoadFromStream(stream) || picture.IsEmptyPicture())
            return 0;
    } catch (const EReadError&) {
        return 0; // not a stored picture at all
    }
    const QImage pixels = picture.ToImage();
    Require(pixels.width() == picture.PictureWidth() && pixels.height() == picture.PictureHeight());
    if (pixels.isNull())
        return 0;
    QBuffer stored;
    stored.open(QIODevice::ReadWrite);
    picture.SaveToStream(stored);
    stored.seek(0);
    TnxPNGImage again;
    Require(again.LoadFromStream(stored));
    Require(again.PictureWidth() == pixels.width() && again.PictureHeight() == pixels.height());
    return 0;
}
