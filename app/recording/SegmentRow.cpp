#include "app/recording/SegmentRow.h"

#include "platform/base/QtChild.h"
#include "recording/AllDayOptions.h"
#include "skin/StoredPictures.h"

#include <QCheckBox>
#include <QLabel>
#include <QSpinBox>

namespace vardocle {

namespace {

const QColor kTextColour(194, 241, 235);
const QColor kFieldColour(64, 128, 128);

void Colour(QWidget* widget, bool field) {
    widget->setFont(PixelFont(QStringLiteral("宋体"), 12));
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, kTextColour);
    palette.setColor(QPalette::Text, kTextColour);
    palette.setColor(QPalette::ButtonText, kTextColour);
    if (field) {
        palette.setColor(QPalette::Base, kFieldColour);
        palette.setColor(QPalette::Button, kFieldColour);
    }
    widget->setPalette(palette);
}

} // namespace

TSegmentRow::TSegmentRow(QWidget* Window) : QObject(Window) {
    // As wide as the window's body, the check box where the rows above have theirs.
    Row = MakeQtChild<QWidget>(Window);
    Row->resize(240, kRowHeight);
    ChkSegment = MakeQtChild<QCheckBox>(QStringLiteral("分段录制: 每"), Row);
    Colour(ChkSegment, false);
    ChkSegment->setLayoutDirection(Qt::RightToLeft);
    ChkSegment->adjustSize();
    ChkSegment->move(15, 6);
    SpinMinutes = MakeQtChild<QSpinBox>(Row);
    Colour(SpinMinutes, true);
    SpinMinutes->setRange(1, kMaxSegmentMinutes);
    SpinMinutes->setGeometry(ChkSegment->x() + ChkSegment->width() + 2, 4, 52, 22);
    LabMinutes = MakeQtChild<QLabel>(QStringLiteral("分钟一个文件"), Row);
    Colour(LabMinutes, false);
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
