#include "app/SpinEdit.h"

#include <QLineEdit>

namespace vardocle {

TSpinEdit::TSpinEdit(QWidget* parent) : QSpinBox(parent) {
    // A typed value outside the range becomes the nearest end, not the old value.
    setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    setKeyboardTracking(false);
}

int TSpinEdit::Value() const {
    bool number = false;
    const int value = cleanText().trimmed().toInt(&number);
    return number ? value : minimum();
}

void TSpinEdit::SetTypingAllowed(bool allowed) {
    lineEdit()->setReadOnly(!allowed);
}

} // namespace vardocle
