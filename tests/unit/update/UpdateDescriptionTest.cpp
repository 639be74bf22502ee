#include "update/UpdateDescription.h"

#include <gtest/gtest.h>

namespace vardocle {
namespace {

TEST(UpdateVersion, ComparesNumericallyWithMissingPartsAsZero) {
    EXPECT_EQ(CompareVersions("1.0.0.0", "1.0.0.0"), 0);
    EXPECT_EQ(CompareVersions("1.0", "1.0.0.0"), 0);
    EXPECT_GT(*CompareVersions("1.0.0.1", "1.0.0.0"), 0);
    EXPECT_GT(*CompareVersions("1.10", "1.9.9.9"), 0); // not a text comparison
    EXPECT_LT(*CompareVersions("0.9.99", "1.0.0.0"), 0);
    EXPECT_GT(*CompareVersions("2", "1.65535.65535.65535"), 0);
}

TEST(UpdateVersion, RefusesMalformedVersions) {
    for (const char* bad : {"", "1.", ".1", "1..0", "1.0.0.0.0", "1.a", "-1", "+1", " 1", "1 .0",
                            "1.65536", "999999", "v1.0", "１.0"}) {
        EXPECT_FALSE(IsWellFormedVersion(QString::fromUtf8(bad))) << bad;
        EXPECT_FALSE(CompareVersions(QString::fromUtf8(bad), "1.0").has_value()) << bad;
    }
}

TEST(UpdateDescriptionParse, ReadsKeysNotesCommentsAndCrLf) {
    const auto description = ParseUpdateDescription("\xEF\xBB\xBF# published 2026\r\n"
                                                    "  Version = 1.2.0.0 \r\n"
                                                    "\r\n"
                                                    "URL=https://example.org/down load.html\r\n"
                                                    "notes=第一行 a=b\r\n"
                                                    "future-key=ignored\r\n"
                                                    "notes=<b>second</b>\r\n");
    ASSERT_TRUE(description.has_value());
    EXPECT_EQ(description->Version, "1.2.0.0");
    EXPECT_EQ(description->DownloadUrl, QUrl("https://example.org/down%20load.html"));
    EXPECT_EQ(description->Notes, QString::fromUtf8("第一行 a=b\n<b>second</b>"));
}

TEST(UpdateDescriptionParse, RefusesWhatIsNotADescription) {
    const QByteArray valid = "version=2.0\nurl=http://example.org/d.html\n";
    ASSERT_TRUE(ParseUpdateDescription(valid).has_value());

    const QList<QByteArray> bad = {
        "",
        "\n\n# only comments\n",
        "<html><head><meta charset=\"utf-8\"></head><body>404</body></html>",
        valid + "this line has no equals sign\n",
        QByteArray("version=2.0\0\nurl=http://example.org/\n", 38), // NUL byte
        "version=2.0\nurl=http://example.org/\nnotes=\xC3\x28\n",   // invalid UTF-8
        "url=http://example.org/d.html\n",                          // no version
        "version=2.0\n",                                            // no url
        "version=2.0\nversion=3.0\nurl=http://example.org/\n",      // repeated
        "version=2.0\nurl=http://a.org/\nurl=http://b.org/\n",      // repeated
        "version=2.x\nurl=http://example.org/\n",                   // malformed version
        "version=2.0\nurl=file:///etc/passwd\n",                    // not a web page
        "version=2.0\nurl=javascript:alert(1)\n",
        "version=2.0\nurl=/relative/page.html\n",
        "version=2.0\nurl=http://\n",
        "=2.0\nurl=http://example.org/\n", // empty key
    };
    for (const QByteArray& text : bad)
        EXPECT_FALSE(ParseUpdateDescription(text).has_value()) << text.toStdString();
}

TEST(UpdateDescriptionParse, RefusesTextsOverTheSizeLimit) {
    QByteArray text = "version=2.0\nurl=http://example.org/\n";
    text += "# " + QByteArray(kMaxDescriptionSize - text.size() - 3, 'x') + '\n';
    ASSERT_EQ(text.size(), kMaxDescriptionSize);
    EXPECT_TRUE(ParseUpdateDescription(text).has_value());
    text += '\n';
    EXPECT_FALSE(ParseUpdateDescription(text).has_value());
}

} // namespace
} // namespace vardocle
