// The skin as the windows load it: stored pictures in the built-in resources,
// each a class header and one complete 8-bit RGBA PNG of the right size.
#include "SkinFiles.h"

#include "tests/support/TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QtEndian>

#include <gtest/gtest.h>
#include <set>

using namespace vardocle::test;

namespace {

const QByteArray PngSignature("\x89PNG\r\n\x1a\n", 8);
const QByteArray PngEnd("\0\0\0\0IEND\xae\x42\x60\x82", 12);

std::set<QString> FilesBelow(const QString& root) {
    std::set<QString> files;
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.insert(QDir(root).relativeFilePath(it.next()));
    return files;
}

} // namespace

TEST(StoredPictures, EachIsTheClassHeaderFollowedByExactlyOneRgbaPng) {
    for (const ExpectedPicture& expected : ExpectedPictures()) {
        SCOPED_TRACE(expected.Path.toStdString());
        const QByteArray stored = ReadResource(":/skin/" + expected.Path);
        ASSERT_GT(stored.size(), 12 + 33) << "missing from the resources";
        EXPECT_EQ(static_cast<unsigned char>(stored[0]), 11);
        EXPECT_EQ(stored.mid(1, 11), "TnxPNGImage");

        const QByteArray png = stored.mid(12);
        EXPECT_TRUE(png.startsWith(PngSignature));
        EXPECT_TRUE(png.endsWith(PngEnd)) << "bytes after the PNG's IEND chunk";
        // IHDR: width, height, bit depth, colour type 6 (RGBA).
        ASSERT_EQ(png.mid(12, 4), "IHDR");
        const auto* ihdr = reinterpret_cast<const uchar*>(png.constData() + 16);
        EXPECT_EQ(qFromBigEndian<quint32>(ihdr), static_cast<quint32>(expected.Width));
        EXPECT_EQ(qFromBigEndian<quint32>(ihdr + 4), static_cast<quint32>(expected.Height));
        EXPECT_EQ(ihdr[8], 8) << "bit depth";
        EXPECT_EQ(ihdr[9], 6) << "colour type";

        const QImage image = DecodeStored(stored);
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.size(), QSize(expected.Width, expected.Height));
        if (expected.Strip) {
            EXPECT_EQ(expected.Width % 5, 0);
        }
    }
}

TEST(StoredPictures, ResourcesHoldEveryCommittedPictureAndNothingElse) {
    std::set<QString> expected;
    for (const ExpectedPicture& picture : ExpectedPictures())
        expected.insert(picture.Path);
    ReadResource(":/skin/main/Background.pic"); // registers the resources
    EXPECT_EQ(FilesBelow(":/skin"), expected);
    const QString committed = QString::fromStdString((SourceDir() / "assets" / "skin").string());
    EXPECT_EQ(FilesBelow(committed), expected);
}

TEST(ProgramIcons, AreRoundedSquaresWithTransparentCornersAtEveryThemeSize) {
    for (int size : {16, 32, 48, 64, 128, 256}) {
        SCOPED_TRACE(size);
        QImage icon;
        ASSERT_TRUE(
            icon.loadFromData(ReadResource(QString(":/icons/vardocle-%1.png").arg(size)), "png"));
        ASSERT_EQ(icon.size(), QSize(size, size));
        icon = icon.convertToFormat(QImage::Format_ARGB32);
        for (QPoint corner :
             {QPoint(0, 0), QPoint(size - 1, 0), QPoint(0, size - 1), QPoint(size - 1, size - 1)})
            EXPECT_EQ(qAlpha(icon.pixel(corner)), 0) << corner.x() << "," << corner.y();
        EXPECT_EQ(qAlpha(icon.pixel(size / 2, size / 2)), 255);
        // The red recording dot sits in the lower right quarter.
        const QRgb dot = icon.pixel(size * 23 / 32, size * 22 / 32);
        EXPECT_GT(qRed(dot), 2 * qGreen(dot));
    }
}
