#pragma once
// A label that reports a click, so that it can serve as another control's
// caption (the check box of the delete question has none of its own).
#include <QLabel>

namespace vardocle {

class TClickLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void Clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

} // namespace vardocle
