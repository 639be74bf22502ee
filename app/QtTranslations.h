#pragma once
// Qt's own texts (the file dialog's columns and buttons, standard buttons,
// the context menus of text fields) in the user's language, Chinese when Qt
// has no translation for it: the program's own texts are Chinese throughout.
#include <QLocale>
#include <QString>

class QApplication;

namespace vardocle {

// The locale whose translation of Qt's texts is loaded from `folder`: the
// system's when the folder holds one for it, Chinese (China) otherwise.
QLocale QtTranslationLocale(const QLocale& system, const QString& folder);

// Loads and installs that translation from Qt's translations folder.
void InstallQtTranslations(QApplication& application);

} // namespace vardocle
