#pragma once
// A number field with arrows. Values put into it are brought into its range
// at once; a typed value when the field loses the focus.
#include <QSpinBox>

namespace vardocle {

class TSpinEdit : public QSpinBox {
public:
    explicit TSpinEdit(QWidget* parent = nullptr);

    // The number in the field's text as it stands, even while it is being
    // typed; text that is no number reads as the minimum.
    int Value() const;
    // Brought into the range.
    void SetValue(int value) { setValue(value); }
    // False: the arrows alone change the value.
    void SetTypingAllowed(bool allowed);
};

} // namespace vardocle
