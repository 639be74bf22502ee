#include "skin/nxGDIPlusClasses.h"

#include "skin/nxGDIPlusAPI.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QPainter>

#include <cerrno>

namespace vardocle {

namespace {

constexpr qint64 kSniffSize = 14;

TStatus HandleStatus(const QImage& handle) {
    return handle.isNull() ? InvalidParameter : Ok;
}

std::unique_ptr<TGraphic> NewPngGraphic() {
    return std::make_unique<TnxPNGImage>();
}

} // namespace

std::unique_ptr<TnxGPImage> NewLibraryImage() {
    return std::make_unique<TnxGPImage>();
}
std::unique_ptr<TnxGPImage> NewNullImage() {
    return std::make_unique<TnxGPNullImage>();
}

TnxImageClass& ImageClass() {
    static TnxImageClass imageClass = &NewNullImage;
    return imageClass;
}

// ---- TnxGPImage -------------------------------------------------------------

TnxGPImage::~TnxGPImage() {
    // The native image may read the pixel array in place: it goes first.
    DisposeHandle();
    FBits.reset();
}

void TnxGPImage::DisposeHandle() {
    FHandle = QImage();
}

std::unique_ptr<TnxGPImage> TnxGPImage::CreateFromStream(QIODevice& stream) {
    std::unique_ptr<TnxGPImage> image = ImageClass()();
    image->InitFromStream(stream);
    return image;
}

std::unique_ptr<TnxGPImage> TnxGPImage::CreateFromDeviceBitmap(const TBitmap& bitmap) {
    std::unique_ptr<TnxGPImage> image = ImageClass()();
    image->InitFromDeviceBitmap(bitmap);
    return image;
}

std::unique_ptr<TnxGPImage> TnxGPImage::CreateFromPixels(int width, int height, TnxRGBColors bits,
                                                         bool hasAlpha) {
    std::unique_ptr<TnxGPImage> image = ImageClass()();
    image->InitFromPixels(width, height, std::move(bits), hasAlpha);
    return image;
}

void TnxGPImage::InitFromStream(QIODevice& stream) {
    if (!EnsureImagingLibrary() || stream.bytesAvailable() < kSniffSize)
        return;
    const QByteArray head = stream.peek(kSniffSize);
    if (head.startsWith("BM")) {
        TBitmap bitmap;
        bitmap.ReadImageStream(stream);
        InitFromDeviceBitmap(bitmap);
        return;
    }
    DecodeStream(stream);
}

void TnxGPImage::DecodeStream(QIODevice& stream) {
    // The bytes are read completely and decoded at once, so the image does
    // not depend on the stream afterwards.
    const QByteArray bytes = stream.readAll();
    if (!PictureSizeAllowed(bytes))
        CheckStatus(OutOfMemory);
    QImage decoded;
    if (!decoded.loadFromData(bytes))
        CheckStatus(UnknownImageFormat);
    DisposeHandle();
    FBits.reset();
    // Straight alpha, so that encoding again gives back the decoded pixels.
    FHandle = decoded.convertToFormat(QImage::Format_ARGB32);
}

void TnxGPImage::InitFromDeviceBitmap(const TBitmap& bitmap) {
    if (PngEncoderClsid().isEmpty())
        FindEncoderClsid(QStringLiteral("image/png"), PngEncoderClsid());
    const QImage& source = bitmap.Image();
    const int width = source.width();
    const int height = source.height();
    auto bits = std::make_shared<std::vector<std::uint32_t>>(static_cast<std::size_t>(width) *
                                                             static_cast<std::size_t>(height));
    const QImage rows = source.convertToFormat(
        bitmap.PixelFormat() == TBitmap::pf32bit ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        const auto* line = reinterpret_cast<const std::uint32_t*>(rows.constScanLine(y));
        std::copy(line, line + width, bits->begin() + static_cast<std::ptrdiff_t>(y) * width);
    }
    InitFromPixels(width, height, std::move(bits), bitmap.PixelFormat() == TBitmap::pf32bit);
}

void TnxGPImage::InitFromPixels(int width, int height, TnxRGBColors bits, bool hasAlpha) {
    DisposeHandle();
    FBits = std::move(bits);
    const std::size_t count =
        static_cast<std::size_t>(qMax(width, 0)) * static_cast<std::size_t>(qMax(height, 0));
    if (width < 1 || height < 1 || !FBits || FBits->size() < count)
        CheckStatus(InvalidParameter);
    if (!hasAlpha)
        for (std::uint32_t& pixel : *FBits)
            pixel |= 0xFF000000u;
    // Reads the shared array in place; it stays alive as long as FBits.
    FHandle = QImage(reinterpret_cast<uchar*>(FBits->data()), width, height,
                     static_cast<qsizetype>(width) * 4, QImage::Format_ARGB32_Premultiplied);
    CheckStatus(HandleStatus(FHandle));
}

std::unique_ptr<TnxGPImage> TnxGPImage::CloneImage() const {
    if (FBits)
        return CreateFromPixels(ImageWidth(), ImageHeight(), FBits, true);
    CheckStatus(HandleStatus(FHandle));
    std::unique_ptr<TnxGPImage> clone = ImageClass()();
    clone->FHandle = FHandle; // implicitly shared, owned data
    return clone;
}

void TnxGPImage::EncodePng(QIODevice& stream) const {
    CheckStatus(HandleStatus(FHandle));
    const QByteArray format = PngEncoderClsid().isEmpty() ? QByteArray("png") : PngEncoderClsid();
    QImageWriter writer(&stream, format);
    if (!writer.write(FHandle.convertToFormat(QImage::Format_ARGB32)))
        CheckStatus(Win32Error);
}

void TnxGPImage::DrawImage(QPainter& context, const QRect& dest, const QRect& source) const {
    int sourceWidth = source.width();
    int sourceHeight = source.height();
    if (sourceWidth < 1 || sourceHeight < 1 || dest.width() < 1 || dest.height() < 1)
        return;
    if (dest.width() > sourceWidth && sourceWidth > 1)
        --sourceWidth;
    if (dest.height() > sourceHeight && sourceHeight > 1)
        --sourceHeight;
    CheckStatus(HandleStatus(FHandle));
    if (!IsVisibleRect(context, dest))
        return;
    context.drawImage(dest, FHandle, QRect(source.left(), source.top(), sourceWidth, sourceHeight));
}

std::unique_ptr<TBitmap> TnxGPImage::MakeDeviceBitmap() const {
    CheckStatus(HandleStatus(FHandle));
    // A device bitmap holds the picture composed on black: premultiplied
    // colour bytes with the alpha byte kept, as CreateFromPixels reads them.
    const QImage premultiplied = FHandle.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage raw(premultiplied.constBits(), premultiplied.width(), premultiplied.height(),
                     premultiplied.bytesPerLine(), QImage::Format_ARGB32);
    return std::make_unique<TBitmap>(raw.copy(), TBitmap::pf32bit);
}

int TnxGPImage::ImageWidth() const {
    CheckStatus(HandleStatus(FHandle));
    return FHandle.width();
}

int TnxGPImage::ImageHeight() const {
    CheckStatus(HandleStatus(FHandle));
    return FHandle.height();
}

void TnxGPImage::ImageDimension(float& width, float& height) const {
    CheckStatus(HandleStatus(FHandle));
    width = static_cast<float>(FHandle.width());
    height = static_cast<float>(FHandle.height());
}

QImage TnxGPImage::ToImage() const {
    if (FHandle.isNull())
        return {};
    // A deep copy: the handle may read a shared array in place.
    return FHandle.convertToFormat(QImage::Format_ARGB32).copy();
}

// ---- TnxPNGImage ------------------------------------------------------------

TnxPNGImage::~TnxPNGImage() = default;

std::unique_ptr<TGraphic> TnxPNGImage::NewInstance() const {
    return std::make_unique<TnxPNGImage>();
}

void TnxPNGImage::SetImage(std::unique_ptr<TnxGPImage> image) {
    FImage = std::move(image);
    NotifyChanged();
}

void TnxPNGImage::CopyPictureTo(TGraphic& dest) const {
    if (auto* png = dynamic_cast<TnxPNGImage*>(&dest)) {
        png->CopyPictureFrom(*this);
        return;
    }
    if (auto* bitmap = dynamic_cast<TBitmap*>(&dest)) {
        const std::unique_ptr<TBitmap> copy = MakeBitmapCopy();
        bitmap->Assign(*copy);
        return;
    }
    TGraphic::CopyPictureTo(dest);
}

void TnxPNGImage::CopyPictureFrom(const TGraphic& source) {
    if (const auto* bitmap = dynamic_cast<const TBitmap*>(&source)) {
        EnsureImagingLibrary();
        SetImage(TnxGPImage::CreateFromDeviceBitmap(*bitmap));
        return;
    }
    if (const auto* png = dynamic_cast<const TnxPNGImage*>(&source)) {
        if (png == this)
            return;
        SetImage(png->FImage ? png->FImage->CloneImage() : nullptr);
        return;
    }
    TGraphic::CopyPictureFrom(source);
}

void TnxPNGImage::NotifyChanged() {
    TGraphic::NotifyChanged();
}

void TnxPNGImage::DrawToCanvas(QPainter& canvas, const QRect& rect) const {
    DrawToDeviceContext(canvas, rect, QRect(0, 0, PictureWidth(), PictureHeight()));
}

bool TnxPNGImage::IsEmptyPicture() const {
    return PictureWidth() < 1 || PictureHeight() < 1;
}

QSize TnxPNGImage::PictureSize() const {
    if (!FImage)
        return {0, 0};
    float width = 0;
    float height = 0;
    FImage->ImageDimension(width, height);
    return {static_cast<int>(width), static_cast<int>(height)}; // truncated
}

int TnxPNGImage::PictureWidth() const {
    return PictureSize().width();
}

int TnxPNGImage::PictureHeight() const {
    return PictureSize().height();
}

void TnxPNGImage::ReadImageStream(QIODevice& stream) {
    if (stream.bytesAvailable() <= 0) {
        SetImage(nullptr);
        return;
    }
    try {
        SetImage(TnxGPImage::CreateFromStream(stream));
    } catch (const Exception&) {
        // Whatever was shown before belongs to other data: do not keep it.
        SetImage(nullptr);
        throw;
    }
}

void TnxPNGImage::WriteImageStream(QIODevice& stream) const {
    if (!FImage)
        return;
    QBuffer encoded;
    encoded.open(QIODevice::ReadWrite);
    FImage->EncodePng(encoded);
    stream.write(encoded.data());
}

std::unique_ptr<TBitmap> TnxPNGImage::MakeBitmapCopy() const {
    if (!FImage)
        return std::make_unique<TBitmap>();
    return FImage->MakeDeviceBitmap();
}

void TnxPNGImage::DrawToDeviceContext(QPainter& dc, const QRect& dest, const QRect& source) const {
    if (!FImage)
        return;
    dc.save();
    DrawToImagingContext(dc, dest, source);
    dc.restore();
}

void TnxPNGImage::DrawToImagingContext(QPainter& context, const QRect& dest,
                                       const QRect& source) const {
    if (FImage)
        FImage->DrawImage(context, dest, source);
}

bool TnxPNGImage::LoadFromStream(QIODevice& stream) {
    unsigned char length = 0;
    if (stream.read(reinterpret_cast<char*>(&length), 1) != 1)
        throw EReadError(kStreamReadError);
    const QByteArray name = stream.read(length);
    if (name.size() != length)
        throw EReadError(kStreamReadError);
    if (QString::fromLatin1(name) != ClassName())
        throw EReadError("Not a stored " + ClassName().toStdString() + " picture");
    try {
        ReadImageStream(stream);
        if (!FImage || FImage->HasHandle())
            return true;
    } catch (const Exception&) {
    }
    SetImage(nullptr);
    return false;
}

bool TnxPNGImage::LoadFromFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EFOpenError(
            CannotOpenFileMessage(path.toStdString(), file.exists() ? EACCES : ENOENT));
    return LoadFromStream(file);
}

void TnxPNGImage::SaveToStream(QIODevice& stream) const {
    const QByteArray name = ClassName().toLatin1();
    const char length = static_cast<char>(name.size());
    stream.write(&length, 1);
    stream.write(name);
    WriteImageStream(stream);
}

QImage TnxPNGImage::ToImage() const {
    return FImage ? FImage->ToImage() : QImage();
}

// ---- start and stop ---------------------------------------------------------

namespace {

void PngUnitStart() {
    ImageClass() = &NewNullImage;
    if (!EnsureImagingLibrary())
        return;
    if (PngEncoderClsid().isEmpty())
        FindEncoderClsid(QStringLiteral("image/png"), PngEncoderClsid());
    ImageClass() = &NewLibraryImage;
    TPicture::RegisterFileFormat(QStringLiteral("PNG"), QStringLiteral("PNG文件"),
                                 QStringLiteral("TnxPNGImage"), &NewPngGraphic);
}

void PngUnitStop() {
    TPicture::UnregisterGraphicClass(QStringLiteral("TnxPNGImage"));
}

} // namespace

void StartupPngImageUnit() {
    TnxUnitsLoader::Instance().RegisterRoutines(&PngUnitStart, &PngUnitStop);
}

void ShutdownPngImageUnit() {
    if (TnxUnitsLoader::Instance().WithdrawStop(&PngUnitStop))
        PngUnitStop();
}

} // namespace vardocle
