#pragma once
// The parts of a settings row that turns a number on or off: a check box with
// its caption on the left, the number, and its unit after it, placed as the
// rows above place theirs.
#include <QString>

class QCheckBox;
class QLabel;
class QSpinBox;
class QWidget;

namespace vardocle {

struct TCheckSpinRow {
    QWidget* Row = nullptr;
    QCheckBox* Check = nullptr;
    QSpinBox* Spin = nullptr;
    QLabel* Unit = nullptr;
};

// A row of `Height` as wide as the window's body, a child of Window; the
// number runs from 1 to `Maximum` in a field `SpinWidth` wide.
TCheckSpinRow MakeCheckSpinRow(QWidget* Window, int Height, const QString& Caption, int Maximum,
                               int SpinWidth, const QString& Unit);

} // namespace vardocle
