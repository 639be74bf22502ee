#include "app/recording/SegmentRow.h"

#include "app/SettingLook.h"
#include "platform/base/QtChild.h"
#include "recording/AllDayOptions.h"

#include <QCheckBox>
#include <QLabel>
#include <QSpinBox>

namespace vardocle {

TSegmentRow::TSegmentRow(QWidget* Window) : QObject(Window) {
    // As wide as the window's body, the check box where the rows above have theirs.
    Row = MakeQtChild<QWidget>(Window);
    Row->resize(240, kRowHeight);
    ChkSegment = MakeQtChild<QCheckBox>(QStringLiteral("分段录制: 每"), Row);
    StyleRowControl(ChkSegment, false);
    ChkSegment->setLayoutDirection(Qt::RightToLeft);
    ChkSegment->adjustSize();
    ChkSegment->move(15, 6);
    SpinMinutes = MakeQtChild<QSpinBox>(Row);
    StyleRowControl(SpinMinutes, true);
    SpinMinutes->setRange(1, kMaxSegmentMinutes);
    SpinMinutes->setGeometry(ChkSegment->x() + ChkSegment->width() + 2, 4, 52, 22);
    LabMinutes = MakeQtChild<QLabel>(QStringLiteral("分钟一个文件"), Row);
    StyleRowControl(LabMinutes, false);
    LabMinutes->adjustSize();
    LabMinutes->move(SpinMinutes->x() + SpinMinutes->width() + 3, 7);
    connect(ChkSegment, &QCheckBox::toggled, SpinMinutes, &QWidget::setEnabled);
    SetSetting({});
}

TSegmentSetting TSegmentRow::Setting() const {
    return {ChkSegment->isChecked(), SpinMinutes->value()};
}

void TSegmentRow::SetSetting(const TSegmentSetting& Setting) {
    ChkSegment->setChecked(Setting.On);
    SpinMinutes->setValue(Setting.Minutes);
    SpinMinutes->setEnabled(Setting.On && ChkSegment->isEnabled());
}

void TSegmentRow::SetEnabled(bool Enabled) {
    ChkSegment->setEnabled(Enabled);
    SpinMinutes->setEnabled(Enabled && ChkSegment->isChecked());
}

} // namespace vardocle
