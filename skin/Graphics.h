#pragma once
// Pictures as the windows hold them: a picture container (TPicture) that
// keeps one graphic of a registered class and reads stored pictures by class
// name, the graphic base (TGraphic) and the device bitmap (TBitmap).
#include "platform/base/Errors.h"

#include <QImage>
#include <QString>

#include <functional>
#include <memory>

class QIODevice;
class QPainter;
class QRect;

namespace vardocle {

// Copying between picture kinds that cannot take each other.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

class TGraphic {
public:
    virtual ~TGraphic() = default;
    TGraphic(const TGraphic&) = delete;
    TGraphic& operator=(const TGraphic&) = delete;

    // The name stored pictures carry.
    virtual QString ClassName() const = 0;
    // An empty graphic of the same class.
    virtual std::unique_ptr<TGraphic> NewInstance() const = 0;

    // Copies the source's picture into this one.
    void Assign(const TGraphic& source) { CopyPictureFrom(source); }

    virtual void CopyPictureTo(TGraphic& dest) const;
    virtual void CopyPictureFrom(const TGraphic& source);
    virtual void NotifyChanged();
    virtual void DrawToCanvas(QPainter& canvas, const QRect& rect) const = 0;
    virtual bool IsEmptyPicture() const = 0;
    virtual int PictureHeight() const = 0;
    virtual bool IsTransparentPicture() const = 0;
    virtual int PictureWidth() const = 0;
    virtual void SetPictureHeight(int height) = 0;
    virtual void SetPictureWidth(int width) = 0;
    virtual void ReadImageStream(QIODevice& stream) = 0;
    virtual void WriteImageStream(QIODevice& stream) const = 0;

    // Told whenever the picture's content changed.
    std::function<void()> OnChange;

protected:
    TGraphic() = default;
};

// A device bitmap: 24-bit pixels (opaque) or 32-bit pixels whose fourth byte
// is kept as alpha.
class TBitmap : public TGraphic {
public:
    enum TPixelFormat { pf24bit, pf32bit };

    TBitmap() = default;
    // Takes the pixels as they are (ARGB32 for 32-bit, any format otherwise).
    TBitmap(const QImage& image, TPixelFormat format);

    QString ClassName() const override { return QStringLiteral("TBitmap"); }
    std::unique_ptr<TGraphic> NewInstance() const override;

    TPixelFormat PixelFormat() const { return FFormat; }
    // 32-bit: Format_ARGB32 with the stored fourth byte; 24-bit: Format_RGB32.
    const QImage& Image() const { return FImage; }
    void SetImage(const QImage& image, TPixelFormat format);

    void CopyPictureFrom(const TGraphic& source) override;
    void DrawToCanvas(QPainter& canvas, const QRect& rect) const override;
    bool IsEmptyPicture() const override { return FImage.isNull(); }
    int PictureHeight() const override { return FImage.height(); }
    bool IsTransparentPicture() const override { return false; }
    int PictureWidth() const override { return FImage.width(); }
    void SetPictureHeight(int height) override;
    void SetPictureWidth(int width) override;
    // A bitmap file ("BM"); an undecodable one raises EReadError.
    void ReadImageStream(QIODevice& stream) override;
    void WriteImageStream(QIODevice& stream) const override;

private:
    QImage FImage;
    TPixelFormat FFormat = pf24bit;
};

// The largest picture the windows take, on each side and in all: beyond any
// screen, yet small enough that a few header bytes claiming more cannot make
// the program claim gigabytes, nor give pictures no encoder can write again.
inline constexpr int kMaxPictureSide = 16384;
inline constexpr qint64 kMaxPicturePixels = qint64(4096) * 4096;

// False when the picture's header claims more than the limits above; true for
// bytes of no known format too (their decoding fails by itself).
bool PictureSizeAllowed(const QByteArray& bytes);

// Decodes a bitmap file. 32-bit files keep their fourth byte; others come out
// opaque. A null image when the bytes are not a bitmap the decoder knows, or
// one larger than PictureSizeAllowed takes.
QImage DecodeBitmapFile(const QByteArray& bytes, TBitmap::TPixelFormat& format);

class TPicture {
public:
    using TGraphicFactory = std::unique_ptr<TGraphic> (*)();

    TPicture() = default;
    ~TPicture();
    TPicture(const TPicture&) = delete;
    TPicture& operator=(const TPicture&) = delete;

    // The graphic held, or nullptr.
    TGraphic* Graphic() const { return FGraphic.get(); }
    // A copy of the given graphic (nullptr: empty).
    void SetGraphic(const TGraphic* graphic);
    void Assign(const TPicture& source) { SetGraphic(source.Graphic()); }
    void Clear();

    // True without a graphic or with one that has no pixels, also when the
    // graphic cannot even tell its size.
    bool IsEmpty() const;
    int Width() const;
    int Height() const;

    // A stored picture: one length byte, the class name, the graphic's data.
    // An unregistered class name or undecodable data leave the picture empty;
    // a stream too short for its name raises EReadError.
    void ReadStored(QIODevice& stream);
    void WriteStored(QIODevice& stream) const;
    // A stored picture from a file or a Qt resource path (":/...").
    void LoadFromFile(const QString& path);

    // Told whenever the held picture changed.
    std::function<void()> OnChange;

    // The picture classes stored pictures can name.
    static void RegisterFileFormat(const QString& extension, const QString& description,
                                   const QString& className, TGraphicFactory factory);
    static void UnregisterGraphicClass(const QString& className);
    static bool IsRegistered(const QString& className);
    // The description registered for a file extension (empty when none).
    static QString FormatDescription(const QString& extension);

private:
    void Changed();
    void Adopt(std::unique_ptr<TGraphic> graphic);
    std::unique_ptr<TGraphic> FGraphic;
};

} // namespace vardocle
