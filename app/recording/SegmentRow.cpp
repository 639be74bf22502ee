#include "app/recording/SegmentRow.h"

#include "app/recording/CheckSpinRow.h"
#include "recording/AllDayOptions.h"

#include <QCheckBox>
#include <QSpinBox>

namespace vardocle {

TSegmentRow::TSegmentRow(QWidget* Window) : QObject(Window) {
    const TCheckSpinRow parts =
        MakeCheckSpinRow(Window, kRowHeight, QStringLiteral("分段录制: 每"), kMaxSegmentMinutes, 52,
                         QStringLiteral("分钟一个文件"));
    Row = parts.Row;
    ChkSegment = parts.Check;
    SpinMinutes = parts.Spin;
    LabMinutes = parts.Unit;
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
