#include "app/QtTranslations.h"

#include "platform/base/QtChild.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace vardocle {

namespace {

const QString kCatalogue = QStringLiteral("qtbase");
const QString kPrefix = QStringLiteral("_");

} // namespace

QLocale QtTranslationLocale(const QLocale& system, const QString& folder) {
    // The "C" locale of a bare session names no language.
    if (system.language() != QLocale::C) {
        QTranslator probe;
        if (probe.load(system, kCatalogue, kPrefix, folder))
            return system;
    }
    return QLocale(QLocale::Chinese, QLocale::China);
}

void InstallQtTranslations(QApplication& application) {
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    // Owned by the application, which outlives every dialog.
    auto* translator = MakeQtChild<QTranslator>(&application);
    if (translator->load(QtTranslationLocale(QLocale::system(), folder), kCatalogue, kPrefix,
                         folder))
        QApplication::installTranslator(translator);
}

} // namespace vardocle
