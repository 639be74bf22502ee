#pragma once
// What the auxiliary windows share of their look.
#include <QDialog>
#include <QFont>

namespace vardocle {

// The windows' own font, MS Sans Serif 11 px (mapped to an installed font).
QFont FormFont();

// A plain dialog of a fixed client size with the windows' font.
void SetUpFixedDialog(QDialog& dialog, const QString& objectName, const QString& caption,
                      QSize size);

} // namespace vardocle
