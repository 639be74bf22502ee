#include "app/recording/StorageLimitRow.h"

#include "app/recording/CheckSpinRow.h"
#include "history/StorageUse.h"

#include <QCheckBox>
#include <QMessageBox>
#include <QSignalBlocker>
#include <QSpinBox>

namespace vardocle {

TStorageLimitRow::TStorageLimitRow(QWidget* Window) : QObject(Window) {
    // A limit of 0 would leave room for nothing but the file being written.
    const TCheckSpinRow parts = MakeCheckSpinRow(Window, kRowHeight, QStringLiteral("录像最多占用"),
                                                 kMaxStorageGigabytes, 60, QStringLiteral("GB"));
    Row = parts.Row;
    ChkLimit = parts.Check;
    SpinGigabytes = parts.Spin;
    LabGigabytes = parts.Unit;
    // Typed digits count once the field is left: "20" is not first a limit of 2.
    SpinGigabytes->setKeyboardTracking(false);
    Ask = [](QWidget* Owner, const QString& Text) {
        return QMessageBox::question(Owner, QStringLiteral("提示"), Text,
                                     QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::No) == QMessageBox::Yes;
    };
    // Only the user's own changes are asked about, not the ones loaded.
    connect(ChkLimit, &QCheckBox::clicked, this, &TStorageLimitRow::LimitTicked);
    connect(SpinGigabytes, &QSpinBox::valueChanged, this, &TStorageLimitRow::GigabytesChanged);
    SetSetting({});
}

TStorageLimitSetting TStorageLimitRow::Setting() const {
    return {ChkLimit->isChecked(), SpinGigabytes->value()};
}

void TStorageLimitRow::SetSetting(const TStorageLimitSetting& Setting) {
    const QSignalBlocker quiet(SpinGigabytes);
    ChkLimit->setChecked(Setting.On);
    SpinGigabytes->setValue(Setting.Gigabytes);
    SpinGigabytes->setEnabled(Setting.On && ChkLimit->isEnabled());
    FAccepted = SpinGigabytes->value();
}

void TStorageLimitRow::SetEnabled(bool Enabled) {
    ChkLimit->setEnabled(Enabled);
    SpinGigabytes->setEnabled(Enabled && ChkLimit->isChecked());
}

bool TStorageLimitRow::Agreed(int Gigabytes) {
    if (!Preview)
        return true;
    TStoragePlan plan;
    try {
        plan = Preview(TStorageLimitSetting{true, Gigabytes}.Bytes());
    } catch (const std::exception&) {
        return true; // the history cannot be read: nothing is known to go
    }
    if (plan.Cuts.empty())
        return true;
    return Ask(Row->window(),
               QStringLiteral("录像现在共占用 %1。按 %2 GB 的上限，下次开始录制时将删除"
                              "最早的 %3 个录像（共 %4），连同其历史记录。\n要这样设置吗？")
                   .arg(StorageSizeText(plan.Total))
                   .arg(Gigabytes)
                   .arg(plan.Cuts.size())
                   .arg(StorageSizeText(plan.Freed())));
}

void TStorageLimitRow::LimitTicked(bool On) {
    if (On && !Agreed(SpinGigabytes->value())) {
        ChkLimit->setChecked(false);
        On = false;
    }
    if (On)
        FAccepted = SpinGigabytes->value();
    SpinGigabytes->setEnabled(On && ChkLimit->isEnabled());
}

void TStorageLimitRow::GigabytesChanged(int Gigabytes) {
    // While off, nothing is deleted: the question waits for the tick.
    if (!ChkLimit->isChecked() || Gigabytes >= FAccepted || Agreed(Gigabytes)) {
        FAccepted = Gigabytes;
        return;
    }
    const QSignalBlocker quiet(SpinGigabytes);
    SpinGigabytes->setValue(FAccepted);
}

} // namespace vardocle
