// The skin tools: the generator reproduces the committed pictures byte for
// byte, and the contact sheet shows them with see-through pixels marked.
#include "SkinFiles.h"

#include "tests/support/TestSupport.h"

#include <QFile>
#include <QImage>

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

QString Tool(const char* name) {
    return QString::fromStdString((BinDir() / name).string());
}

} // namespace

TEST(SkinGenerator, ReproducesTheCommittedFilesByteForByte) {
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
        EXPECT_TRUE(fresh == committed)
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
