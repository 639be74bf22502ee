#include "app/recording/CheckSpinRow.h"

#include "app/SettingLook.h"
#include "platform/base/QtChild.h"

#include <QCheckBox>
#include <QLabel>
#include <QSpinBox>

namespace vardocle {

TCheckSpinRow MakeCheckSpinRow(QWidget* Window, int Height, const QString& Caption, int Maximum,
                               int SpinWidth, const QString& Unit) {
    TCheckSpinRow parts;
    // As wide as the window's body, the check box where the rows above have theirs.
    parts.Row = MakeQtChild<QWidget>(Window);
    parts.Row->resize(240, Height);
    parts.Check = MakeQtChild<QCheckBox>(Caption, parts.Row);
    StyleRowControl(parts.Check, false);
    parts.Check->setLayoutDirection(Qt::RightToLeft);
    parts.Check->adjustSize();
    parts.Check->move(15, 6);
    parts.Spin = MakeQtChild<QSpinBox>(parts.Row);
    StyleRowControl(parts.Spin, true);
    parts.Spin->setRange(1, Maximum);
    parts.Spin->setGeometry(parts.Check->x() + parts.Check->width() + 2, 4, SpinWidth, 22);
    parts.Unit = MakeQtChild<QLabel>(Unit, parts.Row);
    StyleRowControl(parts.Unit, false);
    parts.Unit->adjustSize();
    parts.Unit->move(parts.Spin->x() + parts.Spin->width() + 3, 7);
    return parts;
}

} // namespace vardocle
