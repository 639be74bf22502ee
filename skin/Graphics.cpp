#include "skin/Graphics.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QtEndian>

#include <cerrno>
#include <vector>

namespace vardocle {

// ---- TGraphic ---------------------------------------------------------------

void TGraphic::CopyPictureTo(TGraphic& dest) const {
    throw EConvertError(QStringLiteral("Cannot assign a %1 to a %2")
                            .arg(ClassName(), dest.ClassName())
                            .toStdString());
}

void TGraphic::CopyPictureFrom(const TGraphic& source) {
    source.CopyPictureTo(*this);
}

void TGraphic::NotifyChanged() {
    if (OnChange)
        OnChange();
}

// ---- TBitmap ----------------------------------------------------------------

namespace {

constexpr int kFileHeaderSize = 14;
constexpr int kInfoHeaderMinSize = 40;
constexpr std::uint32_t kBiRgb = 0;

template <typename T> T ReadLE(const QByteArray& bytes, int offset) {
    return qFromLittleEndian<T>(bytes.constData() + offset);
}

// 32-bit uncompressed rows: bytes blue, green, red and a fourth byte that the
// generic decoder would drop; kept here as alpha.
QImage Decode32BitRows(const QByteArray& bytes) {
    const auto pixelOffset = ReadLE<std::uint32_t>(bytes, 10);
    const auto width = ReadLE<std::int32_t>(bytes, 18);
    const auto rawHeight = ReadLE<std::int32_t>(bytes, 22);
    if (width <= 0 || rawHeight == 0 || rawHeight == INT32_MIN)
        return {};
    const bool bottomUp = rawHeight > 0;
    const std::int64_t height = bottomUp ? rawHeight : -static_cast<std::int64_t>(rawHeight);
    const std::int64_t stride = static_cast<std::int64_t>(width) * 4;
    // Sizes come from the file: check by division so that no product can
    // overflow, and never read past the data.
    if (pixelOffset > static_cast<std::uint64_t>(bytes.size()) ||
        height > (bytes.size() - static_cast<std::int64_t>(pixelOffset)) / stride)
        return {};
    QImage image(width, static_cast<int>(height), QImage::Format_ARGB32);
    if (image.isNull())
        return {};
    for (std::int64_t row = 0; row < height; ++row) {
        const std::int64_t sourceRow = bottomUp ? height - 1 - row : row;
        const char* source = bytes.constData() + pixelOffset + sourceRow * stride;
        auto* target = reinterpret_cast<std::uint32_t*>(image.scanLine(static_cast<int>(row)));
        for (int x = 0; x < width; ++x)
            target[x] =
                qFromLittleEndian<std::uint32_t>(source + static_cast<std::ptrdiff_t>(x) * 4);
    }
    return image;
}

bool SizeAllowed(const QSize& size) {
    return size.width() <= kMaxPictureSide && size.height() <= kMaxPictureSide &&
           qint64(size.width()) * size.height() <= kMaxPicturePixels;
}

// What a header's claimed size let through can still decode larger (a
// top-down bitmap's height is not always what the reader reports): such a
// picture could not be stored again, so it is refused as well.
QImage WithinLimits(const QImage& image) {
    return image.isNull() || SizeAllowed(image.size()) ? image : QImage();
}

QImage DecodeBitmapPixels(const QByteArray& bytes, TBitmap::TPixelFormat& format) {
    format = TBitmap::pf24bit;
    if (bytes.size() < kFileHeaderSize + kInfoHeaderMinSize || !bytes.startsWith("BM") ||
        !PictureSizeAllowed(bytes))
        return {};
    const auto infoSize = ReadLE<std::uint32_t>(bytes, 14);
    const auto bitCount = ReadLE<std::uint16_t>(bytes, 28);
    const auto compression = ReadLE<std::uint32_t>(bytes, 30);
    if (infoSize >= kInfoHeaderMinSize && bitCount == 32) {
        format = TBitmap::pf32bit;
        if (compression == kBiRgb)
            return Decode32BitRows(bytes);
        // Bit fields: the generic decoder knows the masks (and an alpha mask).
        QImage image = QImage::fromData(bytes, "BMP");
        return image.isNull() ? image : image.convertToFormat(QImage::Format_ARGB32);
    }
    QImage image = QImage::fromData(bytes, "BMP");
    return image.isNull() ? image : image.convertToFormat(QImage::Format_RGB32);
}

} // namespace

bool PictureSizeAllowed(const QByteArray& bytes) {
    QByteArray data = bytes; // shared, not copied
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (!size.isValid())
        return true;
    return SizeAllowed(size);
}

QImage DecodeBitmapFile(const QByteArray& bytes, TBitmap::TPixelFormat& format) {
    return WithinLimits(DecodeBitmapPixels(bytes, format));
}

TBitmap::TBitmap(const QImage& image, TPixelFormat format) {
    SetImage(image, format);
}

std::unique_ptr<TGraphic> TBitmap::NewInstance() const {
    return std::make_unique<TBitmap>();
}

void TBitmap::SetImage(const QImage& image, TPixelFormat format) {
    FFormat = format;
    if (image.isNull())
        FImage = QImage();
    else
        FImage =
            image.convertToFormat(format == pf32bit ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    NotifyChanged();
}

void TBitmap::CopyPictureFrom(const TGraphic& source) {
    if (const auto* bitmap = dynamic_cast<const TBitmap*>(&source)) {
        FImage = bitmap->FImage;
        FFormat = bitmap->FFormat;
        NotifyChanged();
        return;
    }
    TGraphic::CopyPictureFrom(source);
}

void TBitmap::DrawToCanvas(QPainter& canvas, const QRect& rect) const {
    if (FImage.isNull())
        return;
    // The fourth byte of a device bitmap is not blended when it is drawn.
    canvas.drawImage(rect, FImage.convertToFormat(QImage::Format_RGB32));
}

void TBitmap::SetPictureHeight(int height) {
    if (height == FImage.height() || height < 0)
        return;
    FImage = height == 0 ? QImage() : FImage.copy(0, 0, FImage.width(), height);
    NotifyChanged();
}

void TBitmap::SetPictureWidth(int width) {
    if (width == FImage.width() || width < 0)
        return;
    FImage = width == 0 ? QImage() : FImage.copy(0, 0, width, FImage.height());
    NotifyChanged();
}

void TBitmap::ReadImageStream(QIODevice& stream) {
    const QByteArray bytes = stream.readAll();
    TPixelFormat format = pf24bit;
    QImage image = DecodeBitmapFile(bytes, format);
    if (image.isNull())
        throw EReadError(kStreamReadError);
    FImage = image;
    FFormat = format;
    NotifyChanged();
}

void TBitmap::WriteImageStream(QIODevice& stream) const {
    if (!FImage.isNull())
        FImage.save(&stream, "BMP");
}

// ---- TPicture ---------------------------------------------------------------

namespace {

struct FormatEntry {
    QString Extension;
    QString Description;
    QString ClassName;
    TPicture::TGraphicFactory Factory;
};

std::vector<FormatEntry>& Formats() {
    static std::vector<FormatEntry> formats;
    return formats;
}

const FormatEntry* FindClass(const QString& className) {
    for (const FormatEntry& entry : Formats())
        if (entry.ClassName == className)
            return &entry;
    return nullptr;
}

void ReadExactly(QIODevice& stream, char* data, qint64 size) {
    if (size > 0 && stream.read(data, size) != size)
        throw EReadError(kStreamReadError);
}

} // namespace

TPicture::~TPicture() {
    if (FGraphic)
        FGraphic->OnChange = nullptr;
}

void TPicture::Adopt(std::unique_ptr<TGraphic> graphic) {
    if (FGraphic)
        FGraphic->OnChange = nullptr;
    FGraphic = std::move(graphic);
    if (FGraphic)
        FGraphic->OnChange = [this] { Changed(); };
}

void TPicture::SetGraphic(const TGraphic* graphic) {
    if (graphic == FGraphic.get())
        return;
    if (graphic == nullptr) {
        Clear();
        return;
    }
    std::unique_ptr<TGraphic> copy = graphic->NewInstance();
    copy->Assign(*graphic);
    Adopt(std::move(copy));
    Changed();
}

void TPicture::Clear() {
    Adopt(nullptr);
    Changed();
}

bool TPicture::IsEmpty() const {
    if (!FGraphic)
        return true;
    try {
        return FGraphic->IsEmptyPicture();
    } catch (const Exception&) {
        return true;
    }
}

int TPicture::Width() const {
    try {
        return FGraphic ? FGraphic->PictureWidth() : 0;
    } catch (const Exception&) {
        return 0;
    }
}

int TPicture::Height() const {
    try {
        return FGraphic ? FGraphic->PictureHeight() : 0;
    } catch (const Exception&) {
        return 0;
    }
}

void TPicture::ReadStored(QIODevice& stream) {
    unsigned char length = 0;
    ReadExactly(stream, reinterpret_cast<char*>(&length), 1);
    QByteArray name(length, '\0');
    ReadExactly(stream, name.data(), length);
    const FormatEntry* entry = FindClass(QString::fromLatin1(name));
    if (entry == nullptr) {
        Clear();
        return;
    }
    std::unique_ptr<TGraphic> graphic = entry->Factory();
    try {
        graphic->ReadImageStream(stream);
        // Data too short to decode gives a graphic that cannot tell its size.
        (void)graphic->IsEmptyPicture();
    } catch (const Exception&) {
        // A damaged picture must not stop its window from loading.
        graphic.reset();
    }
    Adopt(std::move(graphic));
    Changed();
}

void TPicture::WriteStored(QIODevice& stream) const {
    const QByteArray name = FGraphic ? FGraphic->ClassName().toLatin1() : QByteArray();
    const char length = static_cast<char>(name.size());
    stream.write(&length, 1);
    stream.write(name);
    if (FGraphic)
        FGraphic->WriteImageStream(stream);
}

void TPicture::LoadFromFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EFOpenError(
            CannotOpenFileMessage(path.toStdString(), file.exists() ? EACCES : ENOENT));
    ReadStored(file);
}

void TPicture::Changed() {
    if (OnChange)
        OnChange();
}

void TPicture::RegisterFileFormat(const QString& extension, const QString& description,
                                  const QString& className, TGraphicFactory factory) {
    UnregisterGraphicClass(className);
    Formats().push_back({extension, description, className, factory});
}

void TPicture::UnregisterGraphicClass(const QString& className) {
    auto& formats = Formats();
    std::erase_if(formats, [&](const FormatEntry& e) { return e.ClassName == className; });
}

bool TPicture::IsRegistered(const QString& className) {
    return FindClass(className) != nullptr;
}

QString TPicture::FormatDescription(const QString& extension) {
    for (const FormatEntry& entry : Formats())
        if (entry.Extension.compare(extension, Qt::CaseInsensitive) == 0)
            return entry.Description;
    return {};
}

} // namespace vardocle
