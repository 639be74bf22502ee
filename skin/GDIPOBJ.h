#pragma once
// The imaging object layer: one small class per imaging object, over QImage,
// QPainter and QFont. Operations report by status (see TGdiplusBase), never
// by exceptions, so a failing call leaves an object without native content
// that later calls refuse with an error status.
#include "skin/GDIPAPI.h"

#include <QDateTime>
#include <QFont>
#include <QImage>
#include <QString>

#include <cstdint>
#include <memory>

class QIODevice;
class QPainter;

namespace vardocle {

class TGPFontCollection; // never created here; stands for "the installed fonts"

class TGPStringFormat : public TGdiplusBase {
public:
    explicit TGPStringFormat(std::int32_t formatFlags = 0, std::int32_t language = 0);
    TStatus SetAlignment(TStringAlignment align);
    TStatus SetLineAlignment(TStringAlignment align);
    TStringAlignment GetAlignment() const { return FAlignment; }
    TStringAlignment GetLineAlignment() const { return FLineAlignment; }

private:
    TStringAlignment FAlignment = StringAlignmentNear;
    TStringAlignment FLineAlignment = StringAlignmentNear;
};

class TGPBrush : public TGdiplusBase {
public:
    ARGB NativeColor() const { return FColor; }

protected:
    TGPBrush() = default;
    ARGB FColor = 0;
};

class TGPSolidBrush : public TGPBrush {
public:
    explicit TGPSolidBrush(ARGB color);
    TStatus GetColor(ARGB& color) const;
    TStatus SetColor(ARGB color);
};

class TGPImage : public TGdiplusBase {
public:
    // Whole pixels; 0 when there is no native image.
    std::uint32_t GetWidth();
    std::uint32_t GetHeight();
    bool HasNative() const { return !FNative.isNull(); }
    // The native image (premultiplied ARGB). Null when creation failed.
    const QImage& Native() const { return FNative; }
    QImage& Native() { return FNative; }

protected:
    TGPImage() = default;
    QImage FNative;
};

// A platform stream interface over a framework stream. It does not own the
// stream; reads start at the stream's current position.
struct TStatStg {
    enum : std::int32_t { STGTY_STORAGE = 1, STGTY_STREAM = 2 };
    enum : std::int32_t { LOCK_WRITE = 1 };
    QString Name;
    std::int32_t Type = 0;
    std::uint64_t Size = 0;
    QDateTime Modified;
    QDateTime Created;
    QDateTime Accessed;
    std::int32_t LocksSupported = 0;
};

inline constexpr std::int32_t S_OK_RESULT = 0;
inline constexpr std::int32_t E_UNEXPECTED_RESULT = static_cast<std::int32_t>(0x8000FFFF);

class TStreamAdapter {
public:
    explicit TStreamAdapter(QIODevice& stream) : FStream(stream) {}
    virtual ~TStreamAdapter() = default;
    TStreamAdapter(const TStreamAdapter&) = delete;
    TStreamAdapter& operator=(const TStreamAdapter&) = delete;

    // Fills what it knows of the stream; the plain adapter knows only that
    // it is a stream, not how large.
    virtual std::int32_t Stat(TStatStg* statstg);
    // Up to count bytes from the current position.
    QByteArray Read(std::int64_t count);
    std::int64_t Position() const;

protected:
    QIODevice& FStream;
};

// The decoder sizes its read by the status query, so the size must be the
// stream's real one; the record is cleared first so nothing stale remains.
class TFixedStreamAdapter : public TStreamAdapter {
public:
    using TStreamAdapter::TStreamAdapter;
    std::int32_t Stat(TStatStg* statstg) override;
};

class TGPBitmap : public TGPImage {
public:
    // Decodes the encoded bytes the stream holds from its position to the
    // size the stream reports. The image keeps no reference to the stream.
    explicit TGPBitmap(TStreamAdapter& stream, bool useEmbeddedColorManagement = false);
    // A new surface; 32-bit ARGB starts fully transparent.
    TGPBitmap(std::int32_t width, std::int32_t height,
              TGPPixelFormat format = PixelFormat32bppARGB);
    // From a device bitmap (its colour table, if any, is part of the image).
    explicit TGPBitmap(const QImage& deviceBitmap);
};

class TGPFontFamily : public TGdiplusBase {
public:
    explicit TGPFontFamily(const QString& name, const TGPFontCollection* collection = nullptr);
    // The generic sans-serif family, made on first use and kept until
    // ShutdownImagingLayer.
    static TGPFontFamily* GenericSansSerif();
    bool HasNative() const { return !FFamily.isEmpty(); }
    const QString& NativeFamily() const { return FFamily; }

private:
    struct GenericTag {};

public:
    explicit TGPFontFamily(GenericTag); // only for GenericSansSerif

private:
    QString FFamily;
    friend void ShutdownImagingLayer();
};

class TGPFont : public TGdiplusBase {
public:
    // Falls back to the generic sans-serif family when the family is not
    // installed or the font cannot be made from it.
    TGPFont(const QString& familyName, float emSize, std::int32_t style = FontStyleRegular,
            TUnit unit = UnitPoint, const TGPFontCollection* collection = nullptr);
    bool HasNative() const { return FHasNative; }
    const QFont& Native() const { return FFont; }

private:
    TStatus CreateNative(const QString& family, float emSize, std::int32_t style, TUnit unit);
    QFont FFont;
    bool FHasNative = false;
};

class TGPGraphics : public TGdiplusBase {
public:
    // On a device context: an active painter (the control's canvas). Modes
    // set here are undone when the context is destroyed.
    explicit TGPGraphics(QPainter& dc);
    // On an image; without an image there is no native context.
    explicit TGPGraphics(TGPImage* image);
    ~TGPGraphics() override;

    bool HasNative() const { return FPainter != nullptr; }
    QPainter* Painter() const { return FPainter; }

    TStatus SetInterpolationMode(TInterpolationMode mode);
    TInterpolationMode GetInterpolationMode() const { return FInterpolation; }
    TStatus SetPixelOffsetMode(TPixelOffsetMode mode);
    TPixelOffsetMode GetPixelOffsetMode() const { return FPixelOffset; }

    // length -1: the whole text.
    TStatus DrawString(const QString& text, std::int32_t length, const TGPFont* font,
                       const TGPRectF& layoutRect, const TGPStringFormat* format,
                       const TGPBrush* brush);
    TStatus DrawString(const QString& text, std::int32_t length, const TGPFont* font,
                       const TGPPointF& origin, const TGPBrush* brush);
    // One line of text at the origin; the box of no text is empty.
    TStatus MeasureString(const QString& text, std::int32_t length, const TGPFont* font,
                          const TGPPointF& origin, TGPRectF& boundingBox);

    TStatus DrawImage(TGPImage* image, const TGPRectF& destRect, float srcX, float srcY,
                      float srcWidth, float srcHeight, TUnit srcUnit);
    TStatus DrawImage(TGPImage* image, const TGPRect& destRect, std::int32_t srcX,
                      std::int32_t srcY, std::int32_t srcWidth, std::int32_t srcHeight,
                      TUnit srcUnit);

private:
    std::unique_ptr<QPainter> FOwnPainter;
    QPainter* FPainter = nullptr;
    TInterpolationMode FInterpolation = InterpolationModeDefault;
    TPixelOffsetMode FPixelOffset = PixelOffsetModeDefault;
};

// The layer is started before any window exists and shut down after they are
// gone; shutting down releases the cached generic families.
void StartupImagingLayer();
void ShutdownImagingLayer();

} // namespace vardocle
