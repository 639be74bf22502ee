#include "skin/GDIPOBJ.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QIODevice>
#include <QPainter>

namespace vardocle {

namespace {

QColor ToQColor(ARGB color) {
    return QColor::fromRgba(color);
}

QString Prefix(const QString& text, std::int32_t length) {
    return length < 0 ? text : text.left(length);
}

// Fonts need the application's font database; without it the layer counts as
// not started for them.
bool FontsReady() {
    return QGuiApplication::instance() != nullptr;
}

bool FamilyInstalled(const QString& name) {
    if (name.trimmed().isEmpty())
        return false;
    // A substitution maps a family that is not installed under its own name
    // (such as the families the window layouts name) to one that is.
    return QFontDatabase::hasFamily(name) || !QFont::substitutes(name).isEmpty();
}

std::unique_ptr<TGPFontFamily>& GenericSansSerifSlot() {
    static std::unique_ptr<TGPFontFamily> slot;
    return slot;
}

} // namespace

// ---- TGPStringFormat -------------------------------------------------------

TGPStringFormat::TGPStringFormat(std::int32_t /*formatFlags*/, std::int32_t /*language*/) {}

TStatus TGPStringFormat::SetAlignment(TStringAlignment align) {
    if (align < StringAlignmentNear || align > StringAlignmentFar)
        return SetStatus(InvalidParameter);
    FAlignment = align;
    return Ok;
}

TStatus TGPStringFormat::SetLineAlignment(TStringAlignment align) {
    if (align < StringAlignmentNear || align > StringAlignmentFar)
        return SetStatus(InvalidParameter);
    FLineAlignment = align;
    return Ok;
}

// ---- brushes ----------------------------------------------------------------

TGPSolidBrush::TGPSolidBrush(ARGB color) {
    FColor = color;
}

TStatus TGPSolidBrush::GetColor(ARGB& color) const {
    color = FColor;
    return Ok;
}

TStatus TGPSolidBrush::SetColor(ARGB color) {
    FColor = color;
    return Ok;
}

// ---- images -----------------------------------------------------------------

std::uint32_t TGPImage::GetWidth() {
    if (FNative.isNull()) {
        SetStatus(InvalidParameter);
        return 0;
    }
    return static_cast<std::uint32_t>(FNative.width());
}

std::uint32_t TGPImage::GetHeight() {
    if (FNative.isNull()) {
        SetStatus(InvalidParameter);
        return 0;
    }
    return static_cast<std::uint32_t>(FNative.height());
}

std::int32_t TStreamAdapter::Stat(TStatStg* statstg) {
    if (statstg != nullptr)
        statstg->Type = TStatStg::STGTY_STREAM;
    return S_OK_RESULT;
}

QByteArray TStreamAdapter::Read(std::int64_t count) {
    if (count <= 0)
        return {};
    return FStream.read(count);
}

std::int64_t TStreamAdapter::Position() const {
    return FStream.pos();
}

std::int32_t TFixedStreamAdapter::Stat(TStatStg* statstg) {
    try {
        std::int32_t result = TStreamAdapter::Stat(statstg);
        if (statstg != nullptr) {
            *statstg = TStatStg{};
            const QDateTime now = QDateTime::currentDateTime();
            statstg->Type = TStatStg::STGTY_STREAM;
            statstg->Size = static_cast<std::uint64_t>(FStream.size());
            statstg->Modified = now;
            statstg->Created = now;
            statstg->Accessed = now;
            statstg->LocksSupported = TStatStg::LOCK_WRITE;
        }
        return result;
    } catch (...) {
        return E_UNEXPECTED_RESULT;
    }
}

TGPBitmap::TGPBitmap(TStreamAdapter& stream, bool /*useEmbeddedColorManagement*/) {
    // Colour profiles are not applied either way: the skin's pictures carry
    // none, and QImage only records a profile without converting pixels.
    TStatStg stat;
    if (stream.Stat(&stat) != S_OK_RESULT) {
        SetStatus(Win32Error);
        return;
    }
    const std::int64_t remaining = static_cast<std::int64_t>(stat.Size) - stream.Position();
    const QByteArray bytes = stream.Read(remaining);
    QImage decoded;
    if (bytes.isEmpty() || !decoded.loadFromData(bytes)) {
        SetStatus(bytes.isEmpty() ? InvalidParameter : UnknownImageFormat);
        return;
    }
    FNative = decoded.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

TGPBitmap::TGPBitmap(std::int32_t width, std::int32_t height, TGPPixelFormat format) {
    if (width <= 0 || height <= 0) {
        SetStatus(InvalidParameter);
        return;
    }
    const QImage::Format native =
        format == PixelFormat32bppRGB ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied;
    FNative = QImage(width, height, native);
    if (FNative.isNull()) {
        SetStatus(OutOfMemory);
        return;
    }
    FNative.fill(format == PixelFormat32bppRGB ? 0xFF000000u : 0u);
}

TGPBitmap::TGPBitmap(const QImage& deviceBitmap) {
    if (deviceBitmap.isNull()) {
        SetStatus(InvalidParameter);
        return;
    }
    FNative = deviceBitmap.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// ---- fonts ------------------------------------------------------------------

TGPFontFamily::TGPFontFamily(const QString& name, const TGPFontCollection* /*collection*/) {
    if (!FontsReady())
        SetStatus(GdiplusNotInitialized);
    else if (!FamilyInstalled(name))
        SetStatus(FontFamilyNotFound);
    else
        FFamily = name;
}

TGPFontFamily::TGPFontFamily(GenericTag) {
    if (!FontsReady()) {
        SetStatus(GdiplusNotInitialized);
        return;
    }
    QFont probe;
    probe.setStyleHint(QFont::SansSerif);
    probe.setFamilies({QStringLiteral("sans-serif")});
    FFamily = QFontInfo(probe).family();
    if (FFamily.isEmpty())
        SetStatus(FontFamilyNotFound);
}

TGPFontFamily* TGPFontFamily::GenericSansSerif() {
    auto& slot = GenericSansSerifSlot();
    if (!slot || !slot->HasNative())
        slot = std::make_unique<TGPFontFamily>(GenericTag{});
    return slot.get();
}

TGPFont::TGPFont(const QString& familyName, float emSize, std::int32_t style, TUnit unit,
                 const TGPFontCollection* collection) {
    TGPFontFamily family(familyName, collection);
    QString familyHandle = family.NativeFamily();
    TStatus status = family.GetLastStatus();
    if (status != Ok) {
        TGPFontFamily* generic = TGPFontFamily::GenericSansSerif();
        familyHandle = generic->NativeFamily();
        status = generic->GetLastStatus();
        if (status != Ok) {
            SetStatus(status);
            return;
        }
    }
    status = CreateNative(familyHandle, emSize, style, unit);
    if (status != Ok) {
        TGPFontFamily* generic = TGPFontFamily::GenericSansSerif();
        const TStatus genericStatus = generic->GetLastStatus();
        if (genericStatus == Ok)
            status = CreateNative(generic->NativeFamily(), emSize, style, unit);
        else
            status = genericStatus;
    }
    SetStatus(status);
}

TStatus TGPFont::CreateNative(const QString& family, float emSize, std::int32_t style, TUnit unit) {
    if (family.isEmpty() || !(emSize > 0) || (unit != UnitPoint && unit != UnitPixel))
        return InvalidParameter;
    QFont font(family);
    if (unit == UnitPoint)
        font.setPointSizeF(emSize);
    else
        font.setPixelSize(qMax(1, qRound(emSize)));
    font.setBold((style & FontStyleBold) != 0);
    font.setItalic((style & FontStyleItalic) != 0);
    font.setUnderline((style & FontStyleUnderline) != 0);
    font.setStrikeOut((style & FontStyleStrikeout) != 0);
    FFont = font;
    FHasNative = true;
    return Ok;
}

// ---- graphics ---------------------------------------------------------------

TGPGraphics::TGPGraphics(QPainter& dc) : FPainter(&dc) {
    if (!dc.isActive()) {
        FPainter = nullptr;
        SetStatus(InvalidParameter);
        return;
    }
    dc.save();
    dc.setRenderHint(QPainter::SmoothPixmapTransform, false);
}

TGPGraphics::TGPGraphics(TGPImage* image) {
    if (image == nullptr || !image->HasNative()) {
        SetStatus(InvalidParameter);
        return;
    }
    FOwnPainter = std::make_unique<QPainter>(&image->Native());
    if (!FOwnPainter->isActive()) {
        FOwnPainter.reset();
        SetStatus(WrongState);
        return;
    }
    FPainter = FOwnPainter.get();
}

TGPGraphics::~TGPGraphics() {
    if (FPainter != nullptr && !FOwnPainter)
        FPainter->restore();
    if (FOwnPainter)
        FOwnPainter->end();
}

TStatus TGPGraphics::SetInterpolationMode(TInterpolationMode mode) {
    if (FPainter == nullptr)
        return SetStatus(InvalidParameter);
    if (mode < InterpolationModeDefault || mode > InterpolationModeHighQualityBicubic)
        return SetStatus(InvalidParameter);
    FInterpolation = mode;
    // Nearest-neighbour and the library's plain default copy pixels; every
    // other mode filters.
    const bool smooth = mode != InterpolationModeDefault && mode != InterpolationModeLowQuality &&
                        mode != InterpolationModeNearestNeighbor;
    FPainter->setRenderHint(QPainter::SmoothPixmapTransform, smooth);
    return Ok;
}

TStatus TGPGraphics::SetPixelOffsetMode(TPixelOffsetMode mode) {
    if (FPainter == nullptr)
        return SetStatus(InvalidParameter);
    if (mode < PixelOffsetModeDefault || mode > PixelOffsetModeHalf)
        return SetStatus(InvalidParameter);
    // The painter samples pixel centres already, which is what the half
    // offset asks for; the mode is kept for the record.
    FPixelOffset = mode;
    return Ok;
}

TStatus TGPGraphics::DrawString(const QString& text, std::int32_t length, const TGPFont* font,
                                const TGPRectF& layoutRect, const TGPStringFormat* format,
                                const TGPBrush* brush) {
    if (FPainter == nullptr || font == nullptr || !font->HasNative() || brush == nullptr)
        return SetStatus(InvalidParameter);
    int flags = Qt::TextWordWrap;
    const TStringAlignment align = format ? format->GetAlignment() : StringAlignmentNear;
    const TStringAlignment lineAlign = format ? format->GetLineAlignment() : StringAlignmentNear;
    flags |= align == StringAlignmentCenter ? Qt::AlignHCenter
             : align == StringAlignmentFar  ? Qt::AlignRight
                                            : Qt::AlignLeft;
    flags |= lineAlign == StringAlignmentCenter ? Qt::AlignVCenter
             : lineAlign == StringAlignmentFar  ? Qt::AlignBottom
                                                : Qt::AlignTop;
    FPainter->save();
    FPainter->setFont(font->Native());
    FPainter->setPen(ToQColor(brush->NativeColor()));
    FPainter->drawText(QRectF(layoutRect.X, layoutRect.Y, layoutRect.Width, layoutRect.Height),
                       flags, Prefix(text, length));
    FPainter->restore();
    return Ok;
}

TStatus TGPGraphics::DrawString(const QString& text, std::int32_t length, const TGPFont* font,
                                const TGPPointF& origin, const TGPBrush* brush) {
    if (FPainter == nullptr || font == nullptr || !font->HasNative() || brush == nullptr)
        return SetStatus(InvalidParameter);
    // The origin is the top-left corner of the line's box.
    const QFontMetricsF metrics(font->Native(), FPainter->device());
    FPainter->save();
    FPainter->setFont(font->Native());
    FPainter->setPen(ToQColor(brush->NativeColor()));
    FPainter->drawText(QPointF(origin.X, origin.Y + metrics.ascent()), Prefix(text, length));
    FPainter->restore();
    return Ok;
}

TStatus TGPGraphics::MeasureString(const QString& text, std::int32_t length, const TGPFont* font,
                                   const TGPPointF& origin, TGPRectF& boundingBox) {
    if (FPainter == nullptr || font == nullptr || !font->HasNative())
        return SetStatus(InvalidParameter);
    const QString line = Prefix(text, length);
    boundingBox = {origin.X, origin.Y, 0, 0};
    if (line.isEmpty())
        return Ok;
    const QFontMetricsF metrics(font->Native(), FPainter->device());
    boundingBox.Width = static_cast<float>(metrics.horizontalAdvance(line));
    boundingBox.Height = static_cast<float>(metrics.height());
    return Ok;
}

TStatus TGPGraphics::DrawImage(TGPImage* image, const TGPRectF& destRect, float srcX, float srcY,
                               float srcWidth, float srcHeight, TUnit srcUnit) {
    if (FPainter == nullptr || image == nullptr || !image->HasNative() || srcUnit != UnitPixel)
        return SetStatus(InvalidParameter);
    // Empty or inverted rectangles draw nothing (no mirroring).
    if (!(destRect.Width > 0 && destRect.Height > 0 && srcWidth > 0 && srcHeight > 0))
        return Ok;
    FPainter->drawImage(QRectF(destRect.X, destRect.Y, destRect.Width, destRect.Height),
                        image->Native(), QRectF(srcX, srcY, srcWidth, srcHeight));
    return Ok;
}

TStatus TGPGraphics::DrawImage(TGPImage* image, const TGPRect& destRect, std::int32_t srcX,
                               std::int32_t srcY, std::int32_t srcWidth, std::int32_t srcHeight,
                               TUnit srcUnit) {
    if (FPainter == nullptr || image == nullptr || !image->HasNative() || srcUnit != UnitPixel)
        return SetStatus(InvalidParameter);
    if (destRect.Width <= 0 || destRect.Height <= 0 || srcWidth <= 0 || srcHeight <= 0)
        return Ok;
    const QRect dest(destRect.X, destRect.Y, destRect.Width, destRect.Height);
    const QRect source(srcX, srcY, srcWidth, srcHeight);
    FPainter->drawImage(dest, image->Native(), source);
    return Ok;
}

// ---- start and stop ---------------------------------------------------------

void StartupImagingLayer() {
    // Qt needs no start-up call of its own; the generic family is made on
    // first use so that a layer started before the application still works.
}

void ShutdownImagingLayer() {
    GenericSansSerifSlot().reset();
}

} // namespace vardocle
