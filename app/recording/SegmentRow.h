#pragma once
// The settings row "分段录制: 每 [N] 分钟一个文件": a long recording goes on
// in a new file every N minutes.
#include "app/recording/SegmentSetting.h"

#include <QObject>

class QCheckBox;
class QLabel;
class QSpinBox;
class QWidget;

namespace vardocle {

class TSegmentRow : public QObject {
public:
    // The row is a child of Window, for the window to place (Row).
    explicit TSegmentRow(QWidget* Window);

    TSegmentSetting Setting() const;
    void SetSetting(const TSegmentSetting& Setting);
    void SetEnabled(bool Enabled);

    QWidget* Row = nullptr;
    QCheckBox* ChkSegment = nullptr;
    QSpinBox* SpinMinutes = nullptr;
    QLabel* LabMinutes = nullptr;

    static constexpr int kRowHeight = 28;
};

} // namespace vardocle
