// Which translation of Qt's own texts the program loads, against the
// translations Debian installs.
#include "app/QtTranslations.h"

#include "tests/support/TestSupport.h"

#include <QDir>
#include <QLibraryInfo>

#include <gtest/gtest.h>

namespace vardocle {
namespace {

TEST(QtTranslations, SystemLanguageWhenQtHasItChineseOtherwise) {
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    ASSERT_TRUE(QDir(folder).exists(QStringLiteral("qtbase_zh_CN.qm")))
        << "qt6-translations-l10n is missing";
    EXPECT_EQ(QtTranslationLocale(QLocale(QLocale::French, QLocale::France), folder).language(),
              QLocale::French);
    EXPECT_EQ(QtTranslationLocale(QLocale(QLocale::Chinese, QLocale::Taiwan), folder).territory(),
              QLocale::Taiwan);
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    // The bare "C" locale and a language Qt has no translation for.
    EXPECT_EQ(QtTranslationLocale(QLocale::c(), folder), chinese);
    EXPECT_EQ(QtTranslationLocale(QLocale(QLocale::Swahili, QLocale::Kenya), folder), chinese);
    // A folder without translations: Chinese is still what is asked for.
    test::TempDir empty;
    EXPECT_EQ(QtTranslationLocale(QLocale(QLocale::French, QLocale::France),
                                  QString::fromStdString(empty.Path().string())),
              chinese);
}

} // namespace
} // namespace vardocle
