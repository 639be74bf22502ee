#include "services/FormLook.h"

namespace vardocle {

QFont FormFont() {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    return font;
}

void SetUpFixedDialog(QDialog& dialog, const QString& objectName, const QString& caption,
                      QSize size) {
    dialog.setObjectName(objectName);
    dialog.setWindowTitle(caption);
    dialog.setFixedSize(size);
    dialog.setFont(FormFont());
}

} // namespace vardocle
