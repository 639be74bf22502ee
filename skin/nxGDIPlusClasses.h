#pragma once
// The PNG picture class: holds a decoded PNG picture, reports its size, draws
// it with alpha blending and encodes it again as PNG. Registered as the
// picture class "TnxPNGImage" so that stored pictures of the windows load.
#include "skin/Graphics.h"

#include <QImage>
#include <QRect>
#include <QSize>

#include <cstdint>
#include <memory>
#include <vector>

class QIODevice;
class QPainter;

namespace vardocle {

// Shared pixel array: 32-bit pixels, bytes blue, green, red, alpha, rows top
// first. Shared, not copied, between an image and its clones.
using TnxRGBColors = std::shared_ptr<std::vector<std::uint32_t>>;

class TnxGPImage {
public:
    TnxGPImage() = default; // an object without a native image
    virtual ~TnxGPImage();
    TnxGPImage(const TnxGPImage&) = delete;
    TnxGPImage& operator=(const TnxGPImage&) = delete;

    // Each makes an object of the current ImageClass(). With fewer than 14
    // bytes left in the stream, or without the backend, the object has no
    // native image. Undecodable bytes raise EImagingError.
    static std::unique_ptr<TnxGPImage> CreateFromStream(QIODevice& stream);
    static std::unique_ptr<TnxGPImage> CreateFromDeviceBitmap(const TBitmap& bitmap);
    static std::unique_ptr<TnxGPImage> CreateFromPixels(int width, int height, TnxRGBColors bits,
                                                        bool hasAlpha);

    std::unique_ptr<TnxGPImage> CloneImage() const;
    void EncodePng(QIODevice& stream) const;
    // Draws Source of the image into Dest; an enlarged axis leaves out the
    // source's last column or row so the edge is not smeared.
    void DrawImage(QPainter& context, const QRect& dest, const QRect& source) const;
    std::unique_ptr<TBitmap> MakeDeviceBitmap() const;

    // Whole pixels. Without a native image these raise EImagingError.
    int ImageWidth() const;
    int ImageHeight() const;
    void ImageDimension(float& width, float& height) const;

    bool HasHandle() const { return !FHandle.isNull(); }
    // A copy of the pixels (straight ARGB32); null without a native image.
    QImage ToImage() const;
    const TnxRGBColors& Bits() const { return FBits; }

protected:
    virtual void DisposeHandle();
    virtual void DecodeStream(QIODevice& stream);
    virtual void InitFromDeviceBitmap(const TBitmap& bitmap);
    virtual void InitFromPixels(int width, int height, TnxRGBColors bits, bool hasAlpha);
    virtual void InitFromStream(QIODevice& stream);

private:
    TnxRGBColors FBits;
    QImage FHandle; // ARGB; made from pixels it is premultiplied and reads FBits in place
};

// Stands in while the backend is unavailable.
class TnxGPNullImage : public TnxGPImage {};

std::unique_ptr<TnxGPImage> NewLibraryImage();
std::unique_ptr<TnxGPImage> NewNullImage();

// The class all image objects are made of: NewNullImage until the backend is
// known to work, NewLibraryImage afterwards.
using TnxImageClass = std::unique_ptr<TnxGPImage> (*)();
TnxImageClass& ImageClass();

class TnxPNGImage : public TGraphic {
public:
    TnxPNGImage() = default;
    ~TnxPNGImage() override;

    QString ClassName() const override { return QStringLiteral("TnxPNGImage"); }
    std::unique_ptr<TGraphic> NewInstance() const override;

    // The image object, or nullptr for an empty picture.
    TnxGPImage* Image() const { return FImage.get(); }
    void SetImage(std::unique_ptr<TnxGPImage> image);

    void CopyPictureTo(TGraphic& dest) const override;
    void CopyPictureFrom(const TGraphic& source) override;
    void NotifyChanged() override;
    void DrawToCanvas(QPainter& canvas, const QRect& rect) const override;
    bool IsEmptyPicture() const override;
    int PictureHeight() const override;
    bool IsTransparentPicture() const override { return true; }
    int PictureWidth() const override;
    void SetPictureHeight(int) override {}
    void SetPictureWidth(int) override {}
    void ReadImageStream(QIODevice& stream) override;
    void WriteImageStream(QIODevice& stream) const override;

    virtual std::unique_ptr<TBitmap> MakeBitmapCopy() const;
    virtual void DrawToDeviceContext(QPainter& dc, const QRect& dest, const QRect& source) const;
    virtual void DrawToImagingContext(QPainter& context, const QRect& dest,
                                      const QRect& source) const;

    // A stored picture (length byte, "TnxPNGImage", PNG file) from a stream,
    // a file or a Qt resource path. Damaged picture data leaves the picture
    // empty and gives false; a name other than "TnxPNGImage" or a stream too
    // short for it raises EReadError, a file that cannot be opened EFOpenError.
    bool LoadFromStream(QIODevice& stream);
    bool LoadFromFile(const QString& path);
    // The stored-picture form of this picture.
    void SaveToStream(QIODevice& stream) const;

    // A copy of the pixels (straight ARGB32); null when empty.
    QImage ToImage() const;

private:
    QSize PictureSize() const;
    std::unique_ptr<TnxGPImage> FImage;
};

// The picture unit's start (ImageClass, the PNG encoder, registering the
// format "PNG", "PNG文件") and end (withdrawing it).
void StartupPngImageUnit();
void ShutdownPngImageUnit();

} // namespace vardocle
