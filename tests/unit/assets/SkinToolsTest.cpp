// The skin tools: the generator reproduces the committed pictures (to the
// antialiasing's rounding), and the contact sheet shows them with see-through pixels marked.
#include "SkinFiles.h"

#include "tests/support/TestSupport.h"

#include <QFile>
#include <QImage>

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

using namespace vardocle::test;
namespace fs = std::filesystem;

namespace {

QByteArray ReadFile(const fs::path& path) {
    QFile file(QString::fromStdString(path.string()));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// The picture a generated file holds: stored pictures carry a PNG after their
// own header, icons are PNGs.
QImage PictureIn(const QByteArray& bytes) {
    const qsizetype png = bytes.indexOf("\x89PNG");
    return png < 0 ? QImage()
                   : QImage::fromData(bytes.mid(png)).convertToFormat(QImage::Format_ARGB32);
}

// Whether two generated files hold the same picture. Qt's antialiasing may
// round an edge pixel one level differently on another processor, so the
// pictures may differ by that much; anything more is a real change.
bool SamePicture(const QByteArray& fresh, const QByteArray& committed) {
    if (fresh == committed)
        return true;
    const qsizetype header = committed.indexOf("\x89PNG");
    if (header < 0 || fresh.left(header) != committed.left(header))
        return false;
    const QImage a = PictureIn(fresh);
    const QImage b = PictureIn(committed);
    if (a.isNull() || a.size() != b.size())
        return false;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            for (const int shift : {0, 8, 16, 24})
                if (std::abs(int((p >> shift) & 0xFF) - int((q >> shift) & 0xFF)) > 2)
                    return false;
        }
    return true;
}

QString Tool(const char* name) {
    return QString::fromStdString((BinDir() / name).string());
}

} // namespace

TEST(SkinGenerator, ReproducesTheCommittedPictures) {
    TempDir out;
    const ProcessResult run =
        RunProcess(Tool("vardocle-skin-gen"), {QString::fromStdString(out.Path().string())});
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    const QList<QByteArray> written = run.Out.trimmed().split('\n');
    EXPECT_EQ(written.size(), 19 + 6);
    for (const QByteArray& relative : written) {
        SCOPED_TRACE(relative.toStdString());
        const QByteArray fresh = ReadFile(out / relative.toStdString());
        const QByteArray committed = ReadFile(SourceDir() / "assets" / relative.toStdString());
        ASSERT_FALSE(fresh.isEmpty());
        EXPECT_TRUE(SamePicture(fresh, committed))
            << "regenerate with: cmake --build build --target regenerate-skin";
    }
}

TEST(SkinGenerator, ReportsAnUnwritableDestination) {
    TempDir out;
    QFile blocker(QString::fromStdString((out / "skin").string()));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly)); // a file where a folder must go
    blocker.close();
    const ProcessResult run =
        RunProcess(Tool("vardocle-skin-gen"), {QString::fromStdString(out.Path().string())});
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_TRUE(run.Err.contains("cannot write")) << run.Err.toStdString();
}

TEST(ContactSheet, ShowsSeeThroughPixelsAsACheckerboard) {
    TempDir out;
    const fs::path sheetPath = out / "sheet.png";
    const ProcessResult run = RunProcess(Tool("vardocle-skin-sheet"),
                                         {QString::fromStdString((SourceDir() / "assets").string()),
                                          QString::fromStdString(sheetPath.string())},
                                         std::chrono::seconds(60), {"QT_QPA_PLATFORM=offscreen"});
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    QImage sheet(QString::fromStdString(sheetPath.string()));
    ASSERT_FALSE(sheet.isNull());
    EXPECT_GE(sheet.width(), 600);
    EXPECT_GE(sheet.height(), 1500);
    sheet = sheet.convertToFormat(QImage::Format_RGB32);
    int keyPixels = 0, checkerLight = 0, checkerDark = 0;
    for (int y = 0; y < sheet.height(); ++y)
        for (int x = 0; x < sheet.width(); ++x) {
            const QRgb p = sheet.pixel(x, y);
            keyPixels += p == MainKeyColour.rgb() || p == SettingKeyColour.rgb();
            checkerLight += p == qRgb(236, 236, 236);
            checkerDark += p == qRgb(196, 196, 196);
        }
    EXPECT_EQ(keyPixels, 0);
    EXPECT_GT(checkerLight, 100);
    EXPECT_GT(checkerDark, 100);
}

TEST(ContactSheet, FailsOnAMissingPicture) {
    TempDir copy;
    fs::copy(SourceDir() / "assets", copy.Path() / "assets", fs::copy_options::recursive);
    fs::remove(copy.Path() / "assets" / "skin" / "main" / "BtnStop.pic");
    const ProcessResult run =
        RunProcess(Tool("vardocle-skin-sheet"),
                   {QString::fromStdString((copy.Path() / "assets").string()),
                    QString::fromStdString((copy.Path() / "sheet.png").string())},
                   std::chrono::seconds(60), {"QT_QPA_PLATFORM=offscreen"});
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_TRUE(run.Err.contains("BtnStop.pic")) << run.Err.toStdString();
    EXPECT_FALSE(fs::exists(copy.Path() / "sheet.png"));
}
