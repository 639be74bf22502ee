// The PNG picture class: stored pictures, reading and writing, sizes,
// drawing, copying and the picture-format registry.
#include "SkinPictures.h"
#include "skin/ColorKeyMask.h"
#include "skin/Graphics.h"
#include "skin/nxGDIPlusAPI.h"
#include "skin/nxGDIPlusClasses.h"
#include "tests/support/TestSupport.h"

#include <QBuffer>
#include <QFile>
#include <QPainter>
#include <QRegion>
#include <QtEndian>
#include <gtest/gtest.h>

namespace vardocle {
namespace {

QImage Sample(int width = 6, int height = 4) {
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgba(x * 40, y * 60, 200, x == 0 ? 0 : 255));
    return image;
}

bool SamePixels(const QImage& a, const QImage& b) {
    return a.convertToFormat(QImage::Format_ARGB32) == b.convertToFormat(QImage::Format_ARGB32);
}

TEST(PngImage, StoredPictureRoundTrip) {
    const QImage sample = Sample();
    QByteArray stored = test::StoredPicture(sample);
    ASSERT_EQ(stored.left(12), QByteArray("\x0bTnxPNGImage"));
    QBuffer in(&stored);
    in.open(QIODevice::ReadOnly);
    TnxPNGImage first;
    EXPECT_TRUE(first.LoadFromStream(in));
    EXPECT_EQ(first.PictureWidth(), 6);
    EXPECT_EQ(first.PictureHeight(), 4);
    EXPECT_TRUE(SamePixels(first.ToImage(), sample));

    QByteArray written;
    QBuffer out(&written);
    out.open(QIODevice::WriteOnly);
    first.SaveToStream(out);
    ASSERT_EQ(written.left(12), QByteArray("\x0bTnxPNGImage"));
    EXPECT_TRUE(written.mid(12).startsWith("\x89PNG\r\n\x1a\n"));

    QBuffer again(&written);
    again.open(QIODevice::ReadOnly);
    TPicture picture;
    picture.ReadStored(again);
    ASSERT_NE(picture.Graphic(), nullptr);
    EXPECT_EQ(picture.Graphic()->ClassName(), "TnxPNGImage");
    EXPECT_EQ(picture.Width(), 6);
    EXPECT_EQ(picture.Height(), 4);
    EXPECT_TRUE(SamePixels(static_cast<TnxPNGImage*>(picture.Graphic())->ToImage(), sample));
}

TEST(PngImage, StreamAtItsEndGivesAnEmptyPicture) {
    QByteArray stored = test::StoredPicture(Sample());
    QBuffer in(&stored);
    in.open(QIODevice::ReadOnly);
    TnxPNGImage picture;
    picture.LoadFromStream(in);
    ASSERT_FALSE(picture.IsEmptyPicture());
    in.seek(stored.size());
    picture.ReadImageStream(in);
    EXPECT_EQ(picture.Image(), nullptr);
    EXPECT_EQ(picture.PictureWidth(), 0);
    EXPECT_EQ(picture.PictureHeight(), 0);
    EXPECT_TRUE(picture.IsEmptyPicture());
    EXPECT_TRUE(picture.IsTransparentPicture());

    QByteArray written;
    QBuffer out(&written);
    out.open(QIODevice::WriteOnly);
    picture.WriteImageStream(out);
    EXPECT_TRUE(written.isEmpty());
}

TEST(PngImage, ShortStreamGivesAnImageWithoutContent) {
    QByteArray bytes = test::PngBytes(Sample()).left(13);
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    TnxPNGImage picture;
    picture.ReadImageStream(in);
    ASSERT_NE(picture.Image(), nullptr);
    EXPECT_FALSE(picture.Image()->HasHandle());
    EXPECT_THROW(picture.PictureWidth(), EImagingError);
    try {
        picture.PictureHeight();
        ADD_FAILURE() << "PictureHeight of an image without content did not fail";
    } catch (const EImagingError& e) {
        EXPECT_STREQ(e.what(), "Invalid operation in GDI+");
    }
    EXPECT_TRUE(picture.IsTransparentPicture());

    // Through the picture container the same bytes leave a plain empty
    // picture that answers every question.
    QByteArray stored = QByteArray("\x0bTnxPNGImage") + bytes;
    QBuffer storedIn(&stored);
    storedIn.open(QIODevice::ReadOnly);
    TPicture container;
    container.ReadStored(storedIn);
    EXPECT_TRUE(container.IsEmpty());
    EXPECT_EQ(container.Width(), 0);
}

TEST(PngImage, UndecodableBytesRaiseAndLeaveThePictureEmpty) {
    QByteArray good = test::StoredPicture(Sample());
    QBuffer goodIn(&good);
    goodIn.open(QIODevice::ReadOnly);
    TnxPNGImage picture;
    ASSERT_TRUE(picture.LoadFromStream(goodIn));

    QByteArray bad = test::PngBytes(Sample());
    bad.replace(20, 40, QByteArray(40, 'x'));
    QBuffer badIn(&bad);
    badIn.open(QIODevice::ReadOnly);
    EXPECT_THROW(picture.ReadImageStream(badIn), EImagingError);
    EXPECT_EQ(picture.Image(), nullptr);

    QByteArray stored = QByteArray("\x0bTnxPNGImage") + bad;
    QBuffer storedIn(&stored);
    storedIn.open(QIODevice::ReadOnly);
    EXPECT_FALSE(picture.LoadFromStream(storedIn));
    EXPECT_TRUE(picture.IsEmptyPicture());

    storedIn.seek(0);
    TPicture container;
    EXPECT_NO_THROW(container.ReadStored(storedIn));
    EXPECT_TRUE(container.IsEmpty());
}

TEST(PngImage, SizesBeyondAnyScreenLeaveThePictureEmpty) {
    // PNG and 32-bit bitmap headers whose width x height x 4 needs gigabytes
    // or wraps around; kept with the fuzz target's seeds as too-big-*.
    const auto folder = test::SourceDir() / "tests/fuzz/seeds/stored_picture_fuzzer";
    int tried = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().filename().string().rfind("too-big-", 0) != 0)
            continue;
        TnxPNGImage picture;
        EXPECT_FALSE(picture.LoadFromFile(QString::fromStdString(entry.path().string())))
            << entry.path();
        EXPECT_TRUE(picture.IsEmptyPicture());
        ++tried;
    }
    EXPECT_GE(tried, 5);
}

TEST(PngImage, LoadsStoredPictureFiles) {
    test::TempDir dir;
    const auto path = dir / "Background.pic";
    {
        QFile file(QString::fromStdString(path.string()));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(test::StoredPicture(Sample(240, 89)));
    }
    TnxPNGImage picture;
    EXPECT_TRUE(picture.LoadFromFile(QString::fromStdString(path.string())));
    EXPECT_EQ(picture.PictureWidth(), 240);
    EXPECT_EQ(picture.PictureHeight(), 89);
    TPicture container;
    container.LoadFromFile(QString::fromStdString(path.string()));
    EXPECT_EQ(container.Width(), 240);
    EXPECT_THROW(container.LoadFromFile(QString::fromStdString((dir / "none.pic").string())),
                 EFOpenError);
}

TEST(PngImage, LoadingChecksTheStoredHeader) {
    QByteArray other = test::StoredPicture(Sample(), "TBitmapX");
    QBuffer in(&other);
    in.open(QIODevice::ReadOnly);
    TnxPNGImage picture;
    EXPECT_THROW(picture.LoadFromStream(in), EReadError);
    QByteArray cut("\x0bTnxPNG");
    QBuffer cutIn(&cut);
    cutIn.open(QIODevice::ReadOnly);
    EXPECT_THROW(picture.LoadFromStream(cutIn), EReadError);
    EXPECT_THROW(picture.LoadFromFile("/nonexistent/folder/x.pic"), EFOpenError);
}

// A bitmap file with the given bits per pixel (24 or 32), 2 x 2, bottom-up.
QByteArray BitmapFile(int bits) {
    const int stride = ((2 * bits / 8) + 3) & ~3;
    const int dataSize = stride * 2;
    QByteArray file(54 + dataSize, '\0');
    char* p = file.data();
    p[0] = 'B';
    p[1] = 'M';
    qToLittleEndian<quint32>(file.size(), p + 2);
    qToLittleEndian<quint32>(54, p + 10);
    qToLittleEndian<quint32>(40, p + 14);
    qToLittleEndian<qint32>(2, p + 18);
    qToLittleEndian<qint32>(2, p + 22);
    qToLittleEndian<quint16>(1, p + 26);
    qToLittleEndian<quint16>(bits, p + 28);
    qToLittleEndian<quint32>(dataSize, p + 34);
    // Bottom row first: bottom-left pure red with alpha 0x40 (32-bit only).
    unsigned char* pixels = reinterpret_cast<unsigned char*>(p + 54);
    for (int row = 0; row < 2; ++row)
        for (int x = 0; x < 2; ++x) {
            unsigned char* px = pixels + static_cast<std::ptrdiff_t>(row * stride + x * bits / 8);
            px[0] = 0x10;
            px[1] = 0x20;
            px[2] = static_cast<unsigned char>(row == 0 && x == 0 ? 0x40 : 0x30);
            if (bits == 32)
                px[3] = static_cast<unsigned char>(row == 0 && x == 0 ? 0x40 : 0xFF);
        }
    return file;
}

TEST(PngImage, BitmapStreamsAreReadAsBitmaps) {
    QByteArray opaque = BitmapFile(24);
    QBuffer in24(&opaque);
    in24.open(QIODevice::ReadOnly);
    TnxPNGImage fromBitmap24;
    fromBitmap24.ReadImageStream(in24);
    ASSERT_EQ(fromBitmap24.PictureWidth(), 2);
    ASSERT_NE(fromBitmap24.Image()->Bits(), nullptr);
    for (std::uint32_t pixel : *fromBitmap24.Image()->Bits())
        EXPECT_EQ(pixel >> 24, 0xFFu);
    EXPECT_EQ((*fromBitmap24.Image()->Bits())[2], 0xFF402010u); // bottom-left, top row first

    QByteArray alpha = BitmapFile(32);
    QBuffer in32(&alpha);
    in32.open(QIODevice::ReadOnly);
    TnxPNGImage fromBitmap32;
    fromBitmap32.ReadImageStream(in32);
    EXPECT_EQ((*fromBitmap32.Image()->Bits())[2], 0x40402010u);
    EXPECT_EQ((*fromBitmap32.Image()->Bits())[0] >> 24, 0xFFu);

    // A header that claims more pixels than the file holds is refused.
    for (qint32 claimed : {3, 0x40000000, -0x7FFFFFFF}) {
        QByteArray lying = BitmapFile(32);
        qToLittleEndian<qint32>(claimed, lying.data() + 22);
        qToLittleEndian<qint32>(0x7FFFFFFF, lying.data() + 18);
        QBuffer in(&lying);
        in.open(QIODevice::ReadOnly);
        TnxPNGImage damaged;
        EXPECT_THROW(damaged.ReadImageStream(in), EReadError) << claimed;
        EXPECT_EQ(damaged.Image(), nullptr);
    }
}

TEST(PngImage, EnlargingLeavesOutTheLastSourceColumnAndRow) {
    // 10 x 10 blue with a red last column and a green last row.
    QImage image(10, 10, QImage::Format_ARGB32);
    image.fill(Qt::blue);
    for (int i = 0; i < 10; ++i) {
        image.setPixelColor(9, i, Qt::red);
        image.setPixelColor(i, 9, Qt::green);
    }
    QByteArray stored = test::StoredPicture(image);
    QBuffer in(&stored);
    in.open(QIODevice::ReadOnly);
    TnxPNGImage picture;
    ASSERT_TRUE(picture.LoadFromStream(in));

    auto render = [&](const QRect& dest) {
        QImage canvas(30, 30, QImage::Format_ARGB32);
        canvas.fill(Qt::white);
        QPainter painter(&canvas);
        picture.DrawToCanvas(painter, dest);
        painter.end();
        return canvas;
    };
    auto contains = [](const QImage& canvas, QColor colour) {
        for (int y = 0; y < canvas.height(); ++y)
            for (int x = 0; x < canvas.width(); ++x)
                if (canvas.pixelColor(x, y) == colour)
                    return true;
        return false;
    };
    const QImage enlarged = render(QRect(0, 0, 20, 20)); // 9 x 9 source
    EXPECT_EQ(enlarged.pixelColor(19, 19), QColor(Qt::blue));
    EXPECT_FALSE(contains(enlarged, Qt::red));
    EXPECT_FALSE(contains(enlarged, Qt::green));
    const QImage wider = render(QRect(0, 0, 20, 10)); // 9 x 10 source
    EXPECT_FALSE(contains(wider, Qt::red));
    EXPECT_EQ(wider.pixelColor(5, 9), QColor(Qt::green));
    const QImage same = render(QRect(0, 0, 10, 10)); // the full source
    EXPECT_EQ(same.pixelColor(9, 0), QColor(Qt::red));
    EXPECT_EQ(same.pixelColor(0, 9), QColor(Qt::green));
    EXPECT_EQ(same.pixelColor(10, 10), QColor(Qt::white));
    const QImage none = render(QRect(0, 0, 0, 20));
    EXPECT_FALSE(contains(none, Qt::blue));
    // Outside the canvas: nothing drawn, nothing raised.
    EXPECT_FALSE(contains(render(QRect(40, 40, 10, 10)), Qt::blue));
}

TEST(PngImage, CopyingBetweenPicturesAndBitmaps) {
    QByteArray stored = test::StoredPicture(Sample());
    QBuffer in(&stored);
    in.open(QIODevice::ReadOnly);
    TnxPNGImage source;
    ASSERT_TRUE(source.LoadFromStream(in));

    TnxPNGImage copy;
    int changes = 0;
    copy.OnChange = [&] { ++changes; };
    copy.Assign(source);
    EXPECT_EQ(changes, 1);
    EXPECT_NE(copy.Image(), source.Image());
    EXPECT_TRUE(SamePixels(copy.ToImage(), source.ToImage()));

    TBitmap bitmap;
    bitmap.Assign(source);
    EXPECT_EQ(bitmap.PixelFormat(), TBitmap::pf32bit);
    EXPECT_EQ(bitmap.PictureWidth(), 6);
    // The bitmap holds the picture composed on black: colours under full
    // transparency are gone, everything else comes back.
    EXPECT_EQ(bitmap.Image().pixel(0, 1), 0u);
    TnxPNGImage back;
    back.Assign(bitmap);
    EXPECT_TRUE(SamePixels(back.ToImage(),
                           source.ToImage().convertToFormat(QImage::Format_ARGB32_Premultiplied)));
    // A clone shares the pixel array of an image made from pixels.
    const std::unique_ptr<TnxGPImage> clone = back.Image()->CloneImage();
    EXPECT_EQ(clone->Bits(), back.Image()->Bits());

    TnxPNGImage empty;
    copy.Assign(empty);
    EXPECT_EQ(copy.Image(), nullptr);
    EXPECT_TRUE(copy.IsEmptyPicture());
}

class OtherGraphic : public TGraphic {
public:
    QString ClassName() const override { return "TMetafile"; }
    std::unique_ptr<TGraphic> NewInstance() const override {
        return std::make_unique<OtherGraphic>();
    }
    void DrawToCanvas(QPainter&, const QRect&) const override {}
    bool IsEmptyPicture() const override { return true; }
    int PictureHeight() const override { return 0; }
    bool IsTransparentPicture() const override { return false; }
    int PictureWidth() const override { return 0; }
    void SetPictureHeight(int) override {}
    void SetPictureWidth(int) override {}
    void ReadImageStream(QIODevice&) override {}
    void WriteImageStream(QIODevice&) const override {}
};

TEST(PngImage, CopyingFromAnotherKindFails) {
    TnxPNGImage picture;
    OtherGraphic other;
    try {
        picture.Assign(other);
        FAIL() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "Cannot assign a TMetafile to a TnxPNGImage");
    }
}

TEST(PictureRegistry, ReadsStoredPicturesByClassName) {
    EXPECT_TRUE(TPicture::IsRegistered("TnxPNGImage"));
    EXPECT_EQ(TPicture::FormatDescription("png"), "PNG文件");

    QByteArray unknown = test::StoredPicture(Sample(), "TJPEGImage");
    QBuffer in(&unknown);
    in.open(QIODevice::ReadOnly);
    TPicture picture;
    int changes = 0;
    picture.OnChange = [&] { ++changes; };
    EXPECT_NO_THROW(picture.ReadStored(in));
    EXPECT_EQ(picture.Graphic(), nullptr);
    EXPECT_TRUE(picture.IsEmpty());

    QByteArray truncated("\x0bTnx");
    QBuffer cut(&truncated);
    cut.open(QIODevice::ReadOnly);
    EXPECT_THROW(picture.ReadStored(cut), EReadError);
}

TEST(PictureRegistry, WithoutAPngCodecTheFormatIsNotRegistered) {
    ShutdownPngImageUnit();
    EXPECT_FALSE(TPicture::IsRegistered("TnxPNGImage"));
    SetImagingProbe([] { return false; });
    StartupPngImageUnit();
    EXPECT_FALSE(TPicture::IsRegistered("TnxPNGImage"));
    EXPECT_EQ(ImageClass(), &NewNullImage);

    // Stored pictures then load as empty pictures.
    EXPECT_TRUE(test::ReadStoredPicture(test::StoredPicture(Sample()))->IsEmpty());

    ShutdownPngImageUnit();
    SetImagingProbe(nullptr);
    StartupPngImageUnit();
    EXPECT_TRUE(TPicture::IsRegistered("TnxPNGImage"));
    EXPECT_EQ(ImageClass(), &NewLibraryImage);
    EXPECT_EQ(PngEncoderClsid(), QByteArray("png"));
}

std::vector<int>& Calls() {
    static std::vector<int> calls;
    return calls;
}

TEST(UnitsLoader, StartsAtOnceAndStopsInReverseOrder) {
    // A loader of its own: the session's loader belongs to the test program.
    Calls().clear();
    {
        TnxUnitsLoader loader;
        loader.RegisterRoutines([] { Calls().push_back(1); }, [] { Calls().push_back(-1); });
        loader.RegisterRoutines([] { Calls().push_back(2); }, [] { Calls().push_back(-2); });
        loader.RegisterRoutines(nullptr, [] { Calls().push_back(-3); });
        EXPECT_EQ(Calls(), (std::vector<int>{1, 2}));
        TnxRoutine unused = [] { Calls().push_back(99); };
        EXPECT_FALSE(loader.WithdrawStop(unused));
        EXPECT_EQ(loader.StopCount(), 3u);
    }
    EXPECT_EQ(Calls(), (std::vector<int>{1, 2, -3, -2, -1}));
}

TEST(ColorKey, KeyColouredPixelsAreLeftOut) {
    QImage image(4, 3, QImage::Format_ARGB32);
    image.fill(QColor(54, 99, 81));
    image.setPixelColor(1, 1, QColor(54, 99, 82)); // one off: stays
    image.setPixelColor(2, 1, QColor(10, 10, 10));
    const QRegion shape(ColorKeyMask(image, QColor(54, 99, 81)));
    EXPECT_TRUE(shape.contains(QPoint(1, 1)));
    EXPECT_TRUE(shape.contains(QPoint(2, 1)));
    EXPECT_FALSE(shape.contains(QPoint(0, 0)));
    EXPECT_FALSE(shape.contains(QPoint(3, 2)));
    EXPECT_EQ(shape.boundingRect(), QRect(1, 1, 2, 1));
}

} // namespace
} // namespace vardocle
